#include "reporter/delivery/smtp/MailDelivery.h"

#include <gtest/gtest.h>

#include "common/files/MemoryFileSystem.h"
#include "reporter/delivery/transport/ScriptedStream.h"
#include "reporter/ui/RecordingProgressAlert.h"

namespace ruvex {
namespace {

// A view of a stream the test keeps, handed to the code that owns it.
class TStreamView final : public IByteStream {
 public:
  explicit TStreamView(TScriptedStream& real) : real_(real) {}
  TConnectOutcome Connect(const std::string& h, std::uint16_t p, TMilliseconds t) override { return real_.Connect(h, p, t); }
  bool Send(std::string_view b, TMilliseconds t) override { return real_.Send(b, t); }
  TReceiveStatus Receive(std::string& a, std::size_t m, TMilliseconds t) override { return real_.Receive(a, m, t); }
  void Close() override { real_.Close(); }

 private:
  TScriptedStream& real_;
};

// Server sides of the connections in the order they are made; each
// accepts one message for rcpts recipients, unless refused.
struct TFakeNetwork {
  std::vector<std::unique_ptr<TScriptedStream>> made;
  std::vector<bool> refuse;  // per connection: the greeting says no
  int rcpts = 1;

  std::function<std::unique_ptr<IByteStream>()> Factory() {
    return [this]() -> std::unique_ptr<IByteStream> {
      auto& stream = *made.emplace_back(std::make_unique<TScriptedStream>());
      if (made.size() <= refuse.size() && refuse[made.size() - 1]) {
        stream.Reply("554 no\r\n");
        return std::make_unique<TStreamView>(stream);
      }
      for (const char* r : {"220 hi\r\n", "250 ok\r\n", "250 ok\r\n"}) stream.Reply(r);
      for (int i = 0; i < rcpts; ++i) stream.Reply("250 ok\r\n");
      for (const char* r : {"354 go\r\n", "250 queued\r\n", "221 bye\r\n"}) stream.Reply(r);
      return std::make_unique<TStreamView>(stream);
    };
  }
};

TEST(MailDelivery, ClientModeSendsOneMessageWithItsProgressAreas) {
  kelvane::TMemoryFileSystem files;
  files.Add(u"/tmp/report.qbr", std::string(300, 'r'));
  files.Add(u"huge", "");  // far larger than 4 GiB, and unreadable
  files.claimedSizes[u"huge"] = 100ULL << 30;
  TFakeNetwork network;
  network.rcpts = 2;
  TMailServices services{network.Factory(), nullptr, &files, "pc", {}};
  TSmtpServer relay;
  relay.host = "relay.test";
  relay.port = 2525;
  TMailJob job{relay, u"r@k.test", u"", u"S", u"B", {u"/tmp/report.qbr", u"missing", u"huge"},
               {u"bugreport.qbr", u"gone.txt", u"huge.bin"}};
  TSmtpModuleOptions options;
  options.mailFromOverride = u"override@k.test";
  TRecordingProgressAlert progress;
  // The huge file cannot be read: the message is dropped, never ended.
  EXPECT_FALSE(SendMailToRecipients(job, u"a@x.test; b@y.test", &progress, options, services));
  const std::vector<TRecordedArea> expected = {{u"PrepAttMsg", 500},        {u"ConnMsg", 500},
                                       {u"SendMailMsg", 100},       {u"SendAttMsg", 300 / 16},
                                       {u"SendAttMsg", 6710886400}, {u"SendFinalMsg", 1000}};
  EXPECT_EQ(progress.areas, expected);
  EXPECT_EQ(progress.closes, 1);
  ASSERT_EQ(network.made.size(), 1u);
  const std::string& sent = network.made[0]->sent;
  EXPECT_EQ(network.made[0]->connectedPort, 2525);
  EXPECT_NE(sent.find("MAIL FROM:<override@k.test>\r\nRCPT TO:<a@x.test>\r\nRCPT TO:<b@y.test>\r\n"), std::string::npos);
  EXPECT_NE(sent.find("filename=\"bugreport.qbr\""), std::string::npos);
  EXPECT_EQ(sent.find("\r\n.\r\n"), std::string::npos);
  EXPECT_EQ(progress.positions, (std::vector<int>{850, 1000}));  // 255 and 300 of 300 bytes

  job.attachmentPaths.pop_back();
  EXPECT_TRUE(SendMailToRecipients(job, u"a@x.test, b@y.test", &progress, options, services));
  EXPECT_NE(network.made[1]->sent.find("\r\n.\r\nQUIT\r\n"), std::string::npos);
}

TEST(MailDelivery, ServerModeLooksUpAndMailsEachRecipient) {
  kelvane::TMemoryFileSystem files;
  files.Add(u"a.txt", "abc");
  TFakeNetwork network;
  network.refuse = {true, false};
  std::vector<std::u16string> lookedUp;
  TMailServices services{network.Factory(),
                         [&](const std::u16string& r) {
                           lookedUp.push_back(r);
                           return r == u"a@x.test" ? "mx.x.test" : "mx.y.test";
                         },
                         &files, "pc", {}};
  TMailJob job{TSmtpServer{}, u"", u"", u"S", u"B", {u"a.txt"}, {u"a.txt"}};
  TRecordingProgressAlert progress;
  TSmtpModuleOptions options;
  options.serverModePort = 2525;
  EXPECT_TRUE(SendMailToRecipients(job, u"a@x.test; b@y.test", &progress, options, services));
  EXPECT_EQ(lookedUp, (std::vector<std::u16string>{u"a@x.test", u"b@y.test"}));
  ASSERT_EQ(network.made.size(), 2u);
  EXPECT_EQ(network.made[0]->connectedHost, "mx.x.test");
  EXPECT_EQ(network.made[1]->connectedHost, "mx.y.test");
  EXPECT_EQ(network.made[1]->connectedPort, 2525);
  // Without a sender the recipient itself is the sender.
  EXPECT_NE(network.made[1]->sent.find("MAIL FROM:<b@y.test>\r\nRCPT TO:<b@y.test>\r\nDATA"), std::string::npos);
  const std::vector<std::u16string> captions = {u"PrepAttMsg", u"MxLookMsg",   u"ConnMsg",    u"SendMailMsg",
                                                u"SendAttMsg", u"SendFinalMsg", u"MxLookMsg",  u"ConnMsg",
                                                u"SendMailMsg", u"SendAttMsg",  u"SendFinalMsg"};
  ASSERT_EQ(progress.areas.size(), captions.size());
  for (std::size_t i = 0; i < captions.size(); ++i) EXPECT_EQ(progress.areas[i].caption, captions[i]);
  EXPECT_EQ(progress.current, 11);  // behind the last recipient's areas
}

}  // namespace
}  // namespace ruvex
