// The Internet transfer control against a server on 127.0.0.1: bodies, redirects, and which
// failures give an empty body and which raise.

#include "platform/inet/Inet.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/automation/CreateObject.h"
#include "platform/automation/Errors.h"
#include "tests/support/LocalHttpServer.h"

namespace InetCtls {
namespace {

using automation::ByteArray;
using automation::Variant;
using testsupport::HttpResponse;
using testsupport::LocalHttpServer;

std::int32_t ErrorOf(const std::function<void()>& body) {
    try {
        body();
    } catch (const automation::Error& e) {
        return e.Number();
    }
    return 0;
}

std::string BytesOf(const Variant& value) {
    const auto* bytes = value.get_if<ByteArray>();
    EXPECT_NE(bytes, nullptr) << value.TypeName();
    if (bytes == nullptr) {
        return {};
    }
    EXPECT_EQ(bytes->LBound(), 0);
    return {bytes->Items().begin(), bytes->Items().end()};
}

class InetTest : public ::testing::Test {
  protected:
    LocalHttpServer server;
    Inet inet;
};

TEST_F(InetTest, CreatedByNameOnAHostWithHttp) {
    ASSERT_TRUE(Inet::Available());
    const auto made = automation::CreateObjectAs<Inet>("inetctls.inet");
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->RequestTimeout(), 60);
}

TEST_F(InetTest, WholeBodyAsBytesOrText) {
    const std::string binary("MZ\0\x01\xff\r\n tail", 11);
    server.Serve("/setup.exe", binary, "application/octet-stream");
    server.Serve("/page.txt", "Gr\xfc\xdf Gott", "text/plain");  // Windows-1252 text
    server.Serve("/utf8.txt", "Gr\xc3\xbc\xc3\x9f Gott", "text/plain");

    EXPECT_EQ(BytesOf(inet.OpenURL(server.Url("/setup.exe"), icByteArray)), binary);
    EXPECT_EQ(inet.ResponseCode(), 200);
    EXPECT_EQ(inet.ResponseInfo(), "");
    EXPECT_EQ(inet.OpenURL(server.Url("/page.txt")), Variant("Gr\xc3\xbc\xc3\x9f Gott"));
    EXPECT_EQ(inet.OpenURL(server.Url("/utf8.txt"), icString), Variant("Gr\xc3\xbc\xc3\x9f Gott"));
    EXPECT_EQ(server.Requests(),
              (std::vector<std::string>{"/setup.exe", "/page.txt", "/utf8.txt"}));
}

TEST_F(InetTest, LargeBodyArrivesWhole) {
    std::string big(3 * 1024 * 1024 + 7, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 131 % 251);
    }
    server.Serve("/big.bin", big, "application/octet-stream");
    EXPECT_EQ(BytesOf(inet.OpenURL(server.Url("/big.bin"), icByteArray)), big);
}

TEST_F(InetTest, RedirectsAreFollowed) {
    server.Serve("/pad.xml", "<XML_DIZ_INFO/>", "text/xml");
    server.Serve("/old", HttpResponse::Redirect(301, "/pad.xml"));
    server.Serve("/older", HttpResponse::Redirect(302, server.Url("/old")));
    EXPECT_EQ(inet.OpenURL(server.Url("/older")), Variant("<XML_DIZ_INFO/>"));
    EXPECT_EQ(inet.ResponseCode(), 200);
    EXPECT_EQ(server.Requests(), (std::vector<std::string>{"/older", "/old", "/pad.xml"}));
}

// A server that answers without success gives nothing, so a caller can try another address.
TEST_F(InetTest, UnsuccessfulAnswersGiveAnEmptyBody) {
    struct Case {
        const char* path;
        HttpResponse response;
        std::int32_t code;
    };
    const Case cases[] = {
        {"/missing", HttpResponse::WithStatus(404, "<HTML>gone</HTML>"), 404},
        {"/broken", HttpResponse::WithStatus(500, "oops"), 500},
        {"/empty", HttpResponse::WithStatus(200, ""), 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        server.Serve(c.path, c.response);
        const Variant bytes = inet.OpenURL(server.Url(c.path), icByteArray);
        EXPECT_EQ(BytesOf(bytes), "");
        EXPECT_EQ(automation::UBound(bytes), -1);
        EXPECT_EQ(inet.OpenURL(server.Url(c.path), icString), Variant(""));
        EXPECT_EQ(inet.ResponseCode(), c.code);
    }
    EXPECT_EQ(inet.OpenURL(server.Url("/never-served"), icString), Variant(""));
    EXPECT_EQ(inet.ResponseCode(), 404);
    EXPECT_NE(inet.ResponseInfo(), "");
}

// No answer at all is an error, never an empty body that looks like "nothing published".
TEST_F(InetTest, TransferFailuresRaise) {
    server.Serve("/cut", HttpResponse::CutShort("MZ half", 4096));
    server.Serve("/to-file", HttpResponse::Redirect(302, "file:///etc/passwd"));
    const std::string closed =
        "http://127.0.0.1:" + std::to_string(LocalHttpServer::ClosedPort()) + "/pad.xml";
    struct Case {
        std::string url;
        std::int32_t error;
    };
    const Case cases[] = {
        {closed, icCannotConnect},
        {server.Url("/cut"), icConnectionBroken},
        {"file:///etc/passwd", icUnsupportedProtocol},
        {"ftp://127.0.0.1/pad.xml", icUnsupportedProtocol},
        {server.Url("/to-file"), icUnsupportedProtocol},
        {"http://", icMalformedURL},
        {"", icMalformedURL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(ErrorOf([&] { inet.OpenURL(c.url, icByteArray); }), c.error);
        EXPECT_NE(inet.ResponseInfo(), "");
    }
}

TEST_F(InetTest, RequestTimeoutEndsAServerThatNeverAnswers) {
    server.Serve("/slow", HttpResponse::Hang());
    inet.SetRequestTimeout(1);
    EXPECT_EQ(ErrorOf([&] { inet.OpenURL(server.Url("/slow")); }), icTimeout);
    EXPECT_EQ(inet.ResponseCode(), 0);
    // The server is free again once the client has given up.
    server.Serve("/after", "still here");
    EXPECT_EQ(inet.OpenURL(server.Url("/after")), Variant("still here"));
}

TEST_F(InetTest, BadArgumentsAreRefused) {
    EXPECT_EQ(ErrorOf([&] { inet.SetRequestTimeout(-1); }), automation::InvalidPropertyValue);
    EXPECT_EQ(inet.RequestTimeout(), 60);
    EXPECT_EQ(ErrorOf([&] { inet.OpenURL(server.Url("/x"), 2); }),
              automation::InvalidProcedureCall);
    EXPECT_TRUE(server.Requests().empty());
    inet.SetRequestTimeout(0);
    EXPECT_EQ(inet.RequestTimeout(), 0);
}

}  // namespace
}  // namespace InetCtls
