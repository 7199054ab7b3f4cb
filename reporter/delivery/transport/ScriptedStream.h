#pragma once
// An in-memory byte stream for dialogue tests: the server's side is a
// script of receive results handed out in order; everything the client
// sends is recorded.
#include <deque>
#include <string>

#include "reporter/delivery/transport/Transport.h"

namespace ruvex {

struct TScriptedReceive {
  TReceiveStatus status = TReceiveStatus::rsData;
  std::string data;
};

class TScriptedStream final : public IByteStream {
 public:
  TConnectOutcome connectOutcome{TConnectStatus::csConnected, {}};
  bool tlsAvailable = false;      // whether StartTls succeeds
  int failSendAfter = -1;         // the send call (0-based) from which sends fail; -1 never
  std::deque<TScriptedReceive> script;  // an empty script reads as a closed connection

  // What the dialogue did, for the test to compare.
  std::string sent;
  std::string connectedHost;
  std::uint16_t connectedPort = 0;
  int tlsStarts = 0;
  int sendCalls = 0;
  bool closed = false;
  std::string sentBeforeTls;  // the bytes sent before the last StartTls

  void Reply(std::string text) { script.push_back({TReceiveStatus::rsData, std::move(text)}); }
  void Then(TReceiveStatus status) { script.push_back({status, {}}); }

  TConnectOutcome Connect(const std::string& host, std::uint16_t port, TMilliseconds timeout) override;
  bool Send(std::string_view bytes, TMilliseconds timeout) override;
  TReceiveStatus Receive(std::string& appendTo, std::size_t maxBytes, TMilliseconds timeout) override;
  void Close() override { closed = true; }
  bool StartTls(const std::u16string& serverName, TMilliseconds timeout) override;
};

}  // namespace ruvex
