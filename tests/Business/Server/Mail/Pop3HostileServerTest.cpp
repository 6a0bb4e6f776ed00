// The POP3 client against servers that misbehave in ways real ones do not.
// Every timeout here is 1 s unless a test needs a long one to show that it
// is not what ended a call.
#include "Business/Server/Mail/FormatTransportError.h"
#include "Business/Server/Mail/Pop3Client.h"
#include "Business/Server/Mail/TransportErrors.h"
#include "Support/Certificate.h"
#include "Support/ScratchFolder.h"
#include "Support/ScriptedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <iostream>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

namespace {

// The bound that proves nothing hangs: far above every 1 s timeout.
constexpr auto kNoHang = 5s;

TTransportSettings Local(int aPort, TTlsMode aMode = tlsmNone)
{
    TTransportSettings settings;
    settings.Host = "127.0.0.1";
    settings.Port = aPort;
    settings.TlsMode = aMode;
    settings.ConnectTimeout = 1s;
    settings.IdleTimeout = 1s;
    // The scripted server's certificate is self-signed and names
    // "localhost"; verification has its own tests against Dovecot.
    settings.AcceptUntrustedCertificate = true;
    return settings;
}

const TTestCertificate& ServerCertificate()
{
    struct TFolder {
        TScratchFolder Scratch{"qm-hostile"};
        TTestCertificate Certificate = MakeSelfSignedCertificate(Scratch.Path(), "localhost");
    };
    static const TFolder folder;
    return folder.Certificate;
}

void ServeTls(TScriptedPeer& aPeer)
{
    aPeer.StartTls(ServerCertificate().CertFile, ServerCertificate().KeyFile);
}

// Runs aCall, which must raise E; returns the error's message.
template <class E, class F>
std::string ErrorOf(F&& aCall)
{
    try {
        aCall();
    } catch (const E& e) {
        return e.what();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "unexpected error: " << e.what();
        return {};
    }
    ADD_FAILURE() << "no error";
    return {};
}

std::string Peer(int aPort)
{
    return "127.0.0.1:" + std::to_string(aPort);
}

// A listener whose accept queue is full: a further connect stays pending.
class TFullListener {
public:
    TFullListener()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(FListener.Get(), reinterpret_cast<sockaddr*>(&address), size);
        ::listen(FListener.Get(), 0);
        ::getsockname(FListener.Get(), reinterpret_cast<sockaddr*>(&address), &size);
        FPort = ntohs(address.sin_port);
        ::connect(FFiller.Get(), reinterpret_cast<sockaddr*>(&address), size);
        pollfd filled{FFiller.Get(), POLLOUT, 0};
        ::poll(&filled, 1, 5000);   // the queue's one place is taken
    }
    int Port() const { return FPort; }

private:
    TFileHandle FListener{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    TFileHandle FFiller{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)};
    int FPort = 0;
};

} // namespace

TEST(Pop3HostileServerTest, ABrokenUidlListingIsAnErrorAndTheSessionGoesOn)
{
    TScriptedServer server([](TScriptedPeer& peer) {
        ScriptLogin(peer);
        peer.Expect("UIDL");
        peer.Send("+OK\r\n1 good\r\n2\r\n3 fine\r\n.\r\n");
        peer.Expect("UIDL");
        peer.Send("+OK\r\n1 a\r\n2 b\r\n1 again\r\n.\r\n");
        peer.Expect("UIDL");
        peer.Send("+OK\r\n2 a\"b\r\n1 abc def\r\n.\r\n");
        peer.Expect("QUIT");
        peer.Send("+OK bye\r\n");
    });
    TPop3Client client(Local(server.Port()));
    client.Connect("u", "p");
    EXPECT_EQ(ErrorOf<EMalformedReplyError>([&] { client.Uidl(); }), "Malformed UIDL line \"2\"");
    EXPECT_EQ(ErrorOf<EMalformedReplyError>([&] { client.Uidl(); }), "UIDL lists message 1 twice");
    EXPECT_EQ(client.Uidl(), (std::vector<TUidlEntry>{{2, "a\"b"}, {1, "abc def"}}));
    client.Disconnect();
    EXPECT_EQ(server.Finish(), "");
}

// A server (or anyone on a plain-text path) that never ends a listing: the
// client stops at its bound with a clear error and closes the connection,
// whatever the lines look like.
TEST(Pop3HostileServerTest, AListingWithoutEndStopsAtItsBound)
{
    struct TCase {
        const char* What;
        std::string Line;
        size_t MaxLines;
        size_t MaxBytes;
        std::string Error;
    } cases[] = {
        {"lines", "1 uid\r\n", 5000, 1 << 30, "Reply from %s longer than 5000 lines"},
        {"bytes", "1 " + std::string(60000, 'u') + "\r\n", 1 << 30, 1 << 20, "Reply from %s longer than 1048576 bytes"},
        {"broken lines", "nonsense\r\n", 5000, 1 << 30, "Reply from %s longer than 5000 lines"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TScriptedServer server([&](TScriptedPeer& peer) {
            ScriptLogin(peer);
            peer.Expect("UIDL");
            peer.Send("+OK\r\n");
            std::string chunk;
            while (chunk.size() < 256 * 1024)
                chunk += c.Line;
            try {
                for (;;)
                    peer.Send(chunk);
            } catch (const std::exception&) {
                // the client hung up
            }
        });
        TTransportSettings settings = Local(server.Port());
        settings.MaxReplyLines = c.MaxLines;
        settings.MaxReplyBytes = c.MaxBytes;
        TPop3Client client(settings);
        client.Connect("u", "p");
        std::string expected = c.Error;
        expected.replace(expected.find("%s"), 2, Peer(server.Port()));
        EXPECT_EQ(ErrorOf<EMalformedReplyError>([&] { client.Uidl(); }), expected);
        EXPECT_FALSE(client.Connected());
        server.Finish();
    }
}

TEST(Pop3HostileServerTest, RefusedTopAndListLeaveTheSessionUsable)
{
    TScriptedServer server([](TScriptedPeer& peer) {
        ScriptLogin(peer);
        peer.Expect("TOP 1 0");
        peer.Send("-ERR [SYS/TEMP] no headers today\r\n");
        peer.Expect("LIST 2");
        peer.Send("-ERR no such message\r\n");
        peer.Expect("LIST 1");
        peer.Send("+OK 1 120\r\n");
        peer.Expect("QUIT");
        peer.Send("+OK\r\n");
    });
    TPop3Client client(Local(server.Port()));
    client.Connect("u", "p");
    try {
        client.RetrieveHeader(1);
        ADD_FAILURE() << "TOP did not fail";
    } catch (const EPop3ReplyError& e) {
        EXPECT_EQ(FormatTransportError("POP3 ", e, client.LastReply()), "-ERR [SYS/TEMP] no headers today");
    }
    EXPECT_EQ(client.RetrieveMsgSize(2), -1);
    EXPECT_EQ(ErrorOf<EPop3ReplyError>([&] { client.RaiseExceptionForLastCmdResult(); }), "no such message");
    EXPECT_EQ(client.RetrieveMsgSize(1), 120);
    client.Disconnect();
    EXPECT_EQ(server.Finish(), "");
}

TEST(Pop3HostileServerTest, AConnectionDroppedMidRetrIsAClearError)
{
    for (const TTlsMode mode : {tlsmNone, tlsmImplicit}) {
        SCOPED_TRACE(TlsModeText(mode));
        TScriptedServer server([mode](TScriptedPeer& peer) {
            if (mode == tlsmImplicit)
                ServeTls(peer);
            ScriptLogin(peer);
            peer.Expect("RETR 1");
            peer.Send("+OK 100 octets\r\nSubject: x\r\n\r\nhalf a bo");
        });
        TPop3Client client(Local(server.Port(), mode));
        client.Connect("u", "p");
        std::string received;
        try {
            client.Retrieve(1, [&](std::string_view aData) { received += aData; });
            ADD_FAILURE() << "RETR did not fail";
        } catch (const EConnectionClosed& e) {
            EXPECT_EQ(FormatTransportError("POP3 ", e, client.LastReply()),
                      "Connection closed by " + Peer(server.Port()));
        }
        EXPECT_EQ(received, "Subject: x\r\n\r\nhalf a bo");
        EXPECT_FALSE(client.Connected());
        EXPECT_EQ(server.Finish(), "");
    }
}

TEST(Pop3HostileServerTest, AReplyLineOfSeveralMegabytesIsRefused)
{
    TScriptedServer server([](TScriptedPeer& peer) {
        peer.Send("+OK " + std::string(5 << 20, 'x') + "\r\n");
        peer.WaitForClose();
    });
    TTransportSettings settings = Local(server.Port());
    settings.MaxLineLength = 1 << 20;
    TPop3Client client(settings);
    const auto start = TClock::now();
    EXPECT_EQ(ErrorOf<EMalformedReplyError>([&] { client.Connect("u", "p"); }),
              "Reply line from " + Peer(server.Port()) + " longer than 1048576 bytes");
    EXPECT_LT(TClock::now() - start, kNoHang);
    EXPECT_FALSE(client.Connected());
}

TEST(Pop3HostileServerTest, MessagesStreamByteExactWithoutALineLimitWhateverTheChunks)
{
    // Lines that need dot-stuffing, a CR inside a line, a bare LF, and (sent
    // whole) a line far over the reply limit.
    const std::string tricky = "Subject: dots\r\n\r\n.leading dot\r\n.\r\n..\r\n.\rnot the end\r\nbare\nlf\r\n"
                               "\xff\xfe 8-bit\r\nlast\r\n";
    const std::string huge = "Subject: long\r\n\r\n" + std::string(3 << 20, 'y') + "\r\n.\r\n";
    struct TCase {
        size_t Chunk;
        std::string Message;
    };
    const TCase cases[] = {{1, tricky}, {2, tricky}, {3, tricky}, {0, tricky}, {0, huge}};
    for (const TCase& c : cases) {
        SCOPED_TRACE("chunk " + std::to_string(c.Chunk) + ", " + std::to_string(c.Message.size()) + " bytes");
        std::string wire = "+OK\r\n";
        for (size_t start = 0; start < c.Message.size();) {
            const size_t end = c.Message.find('\n', start);
            const size_t next = end == std::string::npos ? c.Message.size() : end + 1;
            if (c.Message[start] == '.')
                wire += '.';
            wire.append(c.Message, start, next - start);
            start = next;
        }
        wire += ".\r\n";
        TScriptedServer server([&](TScriptedPeer& peer) {
            ScriptLogin(peer);
            peer.Expect("RETR 1");
            peer.Send(wire, c.Chunk);
            peer.Expect("STAT");
            peer.Send("+OK 1 " + std::to_string(c.Message.size()) + "\r\n");
        });
        TTransportSettings settings = Local(server.Port());
        settings.MaxLineLength = 1024;
        TPop3Client client(settings);
        client.Connect("u", "p");
        std::string received;
        client.Retrieve(1, [&](std::string_view aData) { received += aData; });
        EXPECT_TRUE(received == c.Message) << "received " << received.size() << " bytes";
        EXPECT_EQ(client.Stat().Size, static_cast<int64_t>(c.Message.size()));   // in step after the body
        EXPECT_EQ(server.Finish(), "");
    }
}

TEST(Pop3HostileServerTest, ServersThatNeverAnswerTimeOut)
{
    struct TCase {
        const char* Name;
        TTlsMode Mode;
        TScriptedServer::TScript Script;
        std::function<void(TPop3Client&)> Call;
        const char* Expected;
    };
    const auto connect = [](TPop3Client& aClient) { aClient.Connect("u", "p"); };
    const TCase cases[] = {
        {"no greeting", tlsmNone, [](TScriptedPeer& peer) { peer.WaitForClose(); }, connect,
         "Read from %s timed out after 1 s"},
        {"no TLS handshake", tlsmImplicit, [](TScriptedPeer& peer) { peer.WaitForClose(); }, connect,
         "TLS handshake with %s timed out after 1 s"},
        {"no TLS handshake after STLS", tlsmStartTls,
         [](TScriptedPeer& peer) {
             peer.Send("+OK ready\r\n");
             peer.Expect("STLS");
             peer.Send("+OK go ahead\r\n");
             peer.WaitForClose();
         },
         connect, "TLS handshake with %s timed out after 1 s"},
        {"no answer to UIDL", tlsmNone,
         [](TScriptedPeer& peer) {
             ScriptLogin(peer);
             peer.WaitForClose();
         },
         [](TPop3Client& aClient) {
             aClient.Connect("u", "p");
             aClient.Uidl();
         },
         "Read from %s timed out after 1 s"},
        {"silence in the middle of RETR", tlsmNone,
         [](TScriptedPeer& peer) {
             ScriptLogin(peer);
             peer.Expect("RETR 1");
             peer.Send("+OK\r\nSubject: x\r\n");
             peer.WaitForClose();
         },
         [](TPop3Client& aClient) {
             aClient.Connect("u", "p");
             aClient.Retrieve(1, [](std::string_view) {});
         },
         "Read from %s timed out after 1 s"},
    };
    // All at once: each waits for its own timeout.
    std::vector<std::future<void>> running;
    for (const TCase& c : cases) {
        running.push_back(std::async(std::launch::async, [&c] {
            SCOPED_TRACE(c.Name);
            TScriptedServer server(c.Script);
            TPop3Client client(Local(server.Port(), c.Mode));
            const auto start = TClock::now();
            std::string expected = c.Expected;
            expected.replace(expected.find("%s"), 2, Peer(server.Port()));
            EXPECT_EQ(ErrorOf<ETimeoutError>([&] { c.Call(client); }), expected);
            EXPECT_LT(TClock::now() - start, kNoHang);
            EXPECT_FALSE(client.Connected());
        }));
    }
    for (auto& call : running)
        call.get();
}

TEST(Pop3HostileServerTest, TheHostNameGoesOutAsSniButAnAddressDoesNot)
{
    const std::pair<std::string, std::string> cases[] = {{"localhost", "localhost"}, {"127.0.0.1", ""}};
    for (const auto& [host, sni] : cases) {
        SCOPED_TRACE(host);
        std::string received = "(none)";
        TScriptedServer server([&received](TScriptedPeer& peer) {
            ServeTls(peer);
            received = peer.ServerName();
            ScriptLogin(peer);
            peer.Expect("QUIT");
            peer.Send("+OK\r\n");
        });
        TTransportSettings settings = Local(server.Port(), tlsmImplicit);
        settings.Host = host;   // "localhost" may name ::1 first, where nothing listens
        TPop3Client client(settings);
        client.Connect("u", "p");
        client.Disconnect();
        EXPECT_EQ(server.Finish(), "");
        EXPECT_EQ(received, sni);
    }
}

TEST(Pop3HostileServerTest, AConnectThatIsNeverAcceptedTimesOut)
{
    TFullListener listener;
    TPop3Client client(Local(listener.Port()));
    const auto start = TClock::now();
    EXPECT_EQ(ErrorOf<ETimeoutError>([&] { client.Connect("u", "p"); }),
              "Connection to " + Peer(listener.Port()) + " timed out after 1 s");
    EXPECT_LT(TClock::now() - start, kNoHang);
}

TEST(Pop3HostileServerTest, PlainTextInjectedWithTheStlsAnswerIsNeverReadAsAReply)
{
    TScriptedServer server([](TScriptedPeer& peer) {
        peer.Send("+OK ready\r\n");
        peer.Expect("STLS");
        // One write: the injected lines arrive together with the "+OK".
        peer.Send("+OK Begin TLS negotiation\r\n+OK 99 99999\r\n-ERR [AUTH] injected\r\n");
        ServeTls(peer);
        peer.Expect("USER u");
        peer.Send("+OK\r\n");
        peer.Expect("PASS p");
        peer.Send("+OK secured\r\n");
        peer.Expect("STAT");
        peer.Send("+OK 7 700\r\n");
        peer.Expect("QUIT");
        peer.Send("+OK\r\n");
    });
    TPop3Client client(Local(server.Port(), tlsmStartTls));
    client.Connect("u", "p");
    EXPECT_TRUE(client.Transport().Secure());
    const TPop3Stat stat = client.Stat();
    EXPECT_EQ(stat.Count, 7);
    EXPECT_EQ(stat.Size, 700);
    client.Disconnect();
    EXPECT_EQ(server.Finish(), "");
}

TEST(Pop3HostileServerTest, PlainTextInjectedIntoTheHandshakeFailsIt)
{
    TScriptedServer server([](TScriptedPeer& peer) {
        peer.Send("+OK ready\r\n");
        peer.Expect("STLS");
        peer.Send("+OK Begin TLS negotiation\r\n");
        peer.ReadSome();   // the client's hello: it is in the handshake now
        peer.Send("+OK 99 99999\r\n");
        peer.WaitForClose();
    });
    TPop3Client client(Local(server.Port(), tlsmStartTls));
    const std::string error = ErrorOf<ETlsError>([&] { client.Connect("u", "p"); });
    EXPECT_EQ(error.rfind("TLS handshake with " + Peer(server.Port()) + " failed: ", 0), 0u) << error;
    EXPECT_EQ(client.LastReply()->Text(), "Begin TLS negotiation");
    EXPECT_FALSE(client.Connected());
}

TEST(Pop3HostileServerTest, CancelFromAnotherThreadEndsAPendingCallAtOnce)
{
    struct TCase {
        const char* Name;
        TScriptedServer::TScript Script;
        bool Retr;
    };
    const TCase cases[] = {
        {"waiting for the greeting", [](TScriptedPeer& peer) { peer.WaitForClose(); }, false},
        {"waiting in the middle of RETR",
         [](TScriptedPeer& peer) {
             ScriptLogin(peer);
             peer.Expect("RETR 1");
             peer.Send("+OK\r\nSubject: x\r\n");
             peer.WaitForClose();
         },
         true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TScriptedServer server(c.Script);
        TTransportSettings settings = Local(server.Port());
        settings.IdleTimeout = 60s;   // long: cancel, not a timeout, must end the call
        TPop3Client client(settings);
        std::promise<void> waiting;
        auto call = std::async(std::launch::async, [&] {
            if (!c.Retr) {
                waiting.set_value();
                client.Connect("u", "p");
                return;
            }
            client.Connect("u", "p");
            bool first = true;
            client.Retrieve(1, [&](std::string_view) {
                if (std::exchange(first, false))
                    waiting.set_value();
            });
        });
        waiting.get_future().wait();
        std::this_thread::sleep_for(50ms);   // let the call block in its read
        const auto start = TClock::now();
        client.Cancel();
        EXPECT_THROW(call.get(), ETransportCancelled);
        const auto latency = std::chrono::duration_cast<std::chrono::microseconds>(TClock::now() - start);
        EXPECT_LT(latency, 1s);
        std::cout << "cancel latency (" << c.Name << "): " << latency.count() << " us\n";
        EXPECT_FALSE(client.Connected());
    }
}
