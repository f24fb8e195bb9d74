// The Internet transfer control ("InetCtls.Inet"): fetches the whole body of an http or https
// address in one blocking call.
//
// Use from a host or a control:
//
//     auto inet = automation::CreateObjectAs<InetCtls::Inet>(InetCtls::Inet::kProgID);
//     inet->SetRequestTimeout(60);
//     const automation::Variant body = inet->OpenURL(address, InetCtls::icByteArray);
//
// CreateObject succeeds exactly when HTTP transfers can be made on this host (libcurl
// initialised, with http and https), so a host may create one only to learn that. The class
// registers itself when this library loads: a program that creates it by name must link
// velto_inet and reference it (InetCtls::Inet::Available() is enough), or the linker drops it.
//
// Redirects are followed (to http and https only; no other scheme is ever fetched, so a server
// cannot send the caller to a local file). Proxies come from the usual environment variables,
// but the loopback addresses never go through one.
//
// What a failure gives:
// - The server answered, but not with success (404, 500, ...): an empty body; ResponseCode
//   holds the status. Callers treat this as "nothing received" and may try another address.
// - No answer at all (a name that does not resolve, a refused connection, the time-out, a
//   transfer cut short, a failed secure handshake, an address that is not http or https):
//   an automation error with one of the numbers below, so that "the network is down" is never
//   mistaken for "there is nothing there".
#pragma once

#include <cstdint>
#include <string>

#include "platform/automation/Object.h"
#include "platform/automation/Variant.h"

namespace InetCtls {

enum DataTypeConstants : std::int16_t {
    icString = 0,
    icByteArray = 1,
};

// This control's error numbers.
enum InetErrors : std::int32_t {
    icRequestFailed = 35750,
    icUnsupportedProtocol = 35751,
    icMalformedURL = 35752,
    icCannotConnect = 35754,
    icConnectionBroken = 35755,
    icSecureChannelFailed = 35756,
    icTimeout = 35761,
};

class Inet : public automation::Object {
  public:
    static constexpr const char* kProgID = "InetCtls.Inet";
    static constexpr std::int32_t kDefaultRequestTimeout = 60;

    // Whether transfers can be made on this host; initialises libcurl once.
    static bool Available();

    Inet();

    // Seconds a whole request may take; 0 waits for ever. A negative time raises run-time
    // error 380.
    std::int32_t RequestTimeout() const { return requestTimeout_; }
    void SetRequestTimeout(std::int32_t seconds);

    // The body of the address after any redirects: a String (icString, the bytes read as text
    // the way files are: UTF-8, else Windows-1252) or a Byte() array from 0 (icByteArray). Any
    // other data type raises run-time error 5.
    automation::Variant OpenURL(const std::string& url, std::int16_t dataType = icString);

    // The HTTP status of the last response (0 when no server answered), and a short text
    // saying why the last call gave nothing ("" after a success).
    std::int32_t ResponseCode() const { return responseCode_; }
    const std::string& ResponseInfo() const { return responseInfo_; }

  private:
    std::int32_t requestTimeout_ = kDefaultRequestTimeout;
    std::int32_t responseCode_ = 0;
    std::string responseInfo_;
};

}  // namespace InetCtls
