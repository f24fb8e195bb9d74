#include "platform/inet/Inet.h"

#include <curl/curl.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>

#include "platform/automation/CreateObject.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Text.h"

namespace InetCtls {
namespace {

const automation::ProgIDRegistration kRegistration(Inet::kProgID, []() -> automation::ObjectRef {
    if (!Inet::Available()) {
        return nullptr;
    }
    return std::make_shared<Inet>();
});

bool Supports(const curl_version_info_data& info, std::string_view protocol) {
    for (const char* const* p = info.protocols; p != nullptr && *p != nullptr; ++p) {
        if (protocol == *p) {
            return true;
        }
    }
    return false;
}

// The environment's exceptions plus the loopback addresses: a proxy could never reach this
// machine's own servers, and setting the option replaces what curl would read from NO_PROXY.
std::string NoProxyList() {
    const char* fromEnvironment = std::getenv("no_proxy");
    if (fromEnvironment == nullptr || *fromEnvironment == '\0') {
        fromEnvironment = std::getenv("NO_PROXY");
    }
    std::string list = fromEnvironment != nullptr ? fromEnvironment : "";
    if (list == "*") {
        return list;
    }
    return list + (list.empty() ? "" : ",") + "localhost,127.0.0.1,::1";
}

struct ErrorKind {
    InetErrors number;
    const char* text;
};

ErrorKind Classify(CURLcode code) {
    switch (code) {
        case CURLE_UNSUPPORTED_PROTOCOL:
            return {icUnsupportedProtocol, "Only http and https addresses can be fetched"};
        case CURLE_URL_MALFORMAT:
            return {icMalformedURL, "URL is malformed"};
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_CONNECT:
            return {icCannotConnect, "Unable to connect to remote host"};
        case CURLE_OPERATION_TIMEDOUT:
            return {icTimeout, "Request timed out"};
        case CURLE_PARTIAL_FILE:
        case CURLE_GOT_NOTHING:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
            return {icConnectionBroken, "The connection closed before the transfer completed"};
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
            return {icSecureChannelFailed, "The secure connection could not be made"};
        default:
            return {icRequestFailed, "Unable to complete the request"};
    }
}

std::size_t Append(char* data, std::size_t size, std::size_t count, void* sink) {
    static_cast<std::string*>(sink)->append(data, size * count);
    return size * count;
}

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

}  // namespace

bool Inet::Available() {
    static std::once_flag once;
    static bool available = false;
    std::call_once(once, [] {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
            return;
        }
        const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
        available = info != nullptr && Supports(*info, "http") && Supports(*info, "https");
    });
    return available;
}

Inet::Inet() = default;

void Inet::SetRequestTimeout(std::int32_t seconds) {
    if (seconds < 0) {
        automation::Raise(automation::InvalidPropertyValue, kProgID);
    }
    requestTimeout_ = seconds;
}

automation::Variant Inet::OpenURL(const std::string& url, std::int16_t dataType) {
    if (dataType != icString && dataType != icByteArray) {
        automation::Raise(automation::InvalidProcedureCall, kProgID);
    }
    responseCode_ = 0;
    responseInfo_.clear();
    if (!Available()) {
        responseInfo_ = "HTTP transfers are not available on this host";
        automation::Raise(icRequestFailed, kProgID, responseInfo_);
    }
    const std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy) {
        automation::Raise(automation::OutOfMemory, kProgID);
    }
    std::string body;
    char detail[CURL_ERROR_SIZE] = {};
    const std::string noProxy = NoProxyList();
    CURL* handle = easy.get();
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 20L);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, static_cast<long>(requestTimeout_));
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_NOPROXY, noProxy.c_str());
    curl_easy_setopt(handle, CURLOPT_USERAGENT, "InetCtls/1.0");
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, detail);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &Append);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);

    const CURLcode result = curl_easy_perform(handle);
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    responseCode_ = static_cast<std::int32_t>(status);
    if (result != CURLE_OK) {
        const ErrorKind kind = Classify(result);
        responseInfo_ = std::string(kind.text) + " (" +
                        (detail[0] != '\0' ? detail : curl_easy_strerror(result)) + "): " + url;
        automation::Raise(kind.number, kProgID, responseInfo_);
    }
    if (status < 200 || status > 299) {
        responseInfo_ = "The server answered with status " + std::to_string(status);
        body.clear();
    }
    if (dataType == icString) {
        return automation::TextFromFileBytes(body);
    }
    return automation::ByteArray(std::vector<std::uint8_t>(body.begin(), body.end()));
}

}  // namespace InetCtls
