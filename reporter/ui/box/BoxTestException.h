#pragma once
// A real exception object over in-memory settings and services, for the
// box's tests (Linux and the window under wine alike).
#include <memory>

#include "reporter/core/flow/Exception.h"
#include "reporter/core/flow/FakeFlowServices.h"
#include "reporter/core/settings/FakeSettingsHost.h"

namespace ruvex {

struct TBoxTestException {
  TFakeSettingsHost host;
  TLocalSettingsAnchor anchor;
  TSettingsEnvironment env{host, anchor};
  TFakeFlow fake;
  std::shared_ptr<TIREException> exception;

  explicit TBoxTestException(TExceptionData data = Sample()) {
    host.modules[host.executable].path = u"C:\\Apps\\Kelvane.exe";
    env.SetMainSettings(RESettings(env, host.executable));
    exception = std::make_shared<TIREException>(env, env.MainSettings(), data, fake.services);
  }
  static TExceptionData Sample() {
    TExceptionData data;
    data.classChain = {u"EAccessViolation", u"Exception"};
    data.message = u"Access violation at address 0040A1B2 in module 'Kelvane.exe'. Read of address 00000000";
    return data;
  }
  IREException& operator*() { return *exception; }
  IREException* operator->() { return exception.get(); }
};

}  // namespace ruvex
