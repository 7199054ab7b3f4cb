#pragma once
// Reading the server's replies. Replies come from the network and are
// checked, never trusted: any bytes give a defined answer.
#include <string>
#include <string_view>

namespace ruvex {

// True when the text received so far ends a reply: it ends with CR LF and
// its last line is no continuation line ("250-..."). "250" CR LF alone is a
// complete reply.
bool IsCompleteReply(std::string_view reply);

// True when the reply carries the three-digit code, followed by a blank, a
// "-" or the line end.
bool ReplyHasCode(std::string_view reply, std::string_view code);

// The first line without its line end, trimmed, for error texts; cut to a
// readable length and with controls replaced, as it ends up in a message.
std::u16string FirstReplyLine(std::string_view reply);

// What an EHLO reply offers, read from its lines after the first.
struct TEhloOffer {
  bool startTls = false;
  bool authLogin = false;  // "AUTH ... LOGIN ..." or the older "AUTH=LOGIN"
};
TEhloOffer ReadEhloOffer(std::string_view reply);

}  // namespace ruvex
