#include "reporter/delivery/transport/ScriptedStream.h"

namespace ruvex {

TConnectOutcome TScriptedStream::Connect(const std::string& host, std::uint16_t port, TMilliseconds) {
  connectedHost = host;
  connectedPort = port;
  return connectOutcome;
}

bool TScriptedStream::Send(std::string_view bytes, TMilliseconds) {
  if (closed) return false;
  if (failSendAfter >= 0 && sendCalls >= failSendAfter) return false;
  ++sendCalls;
  sent.append(bytes);
  return true;
}

TReceiveStatus TScriptedStream::Receive(std::string& appendTo, std::size_t maxBytes, TMilliseconds) {
  if (closed) return TReceiveStatus::rsError;
  if (script.empty()) return TReceiveStatus::rsClosed;
  TScriptedReceive& next = script.front();
  if (next.status != TReceiveStatus::rsData) {
    const TReceiveStatus status = next.status;
    script.pop_front();
    return status;
  }
  // Longer scripted chunks arrive in pieces, as from a real socket.
  appendTo.append(next.data, 0, maxBytes);
  if (next.data.size() > maxBytes) {
    next.data.erase(0, maxBytes);
  } else {
    script.pop_front();
  }
  return TReceiveStatus::rsData;
}

bool TScriptedStream::StartTls(const std::u16string&, TMilliseconds) {
  ++tlsStarts;
  sentBeforeTls = sent;
  return tlsAvailable;
}

}  // namespace ruvex
