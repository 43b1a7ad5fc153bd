#pragma once
// HttpPort over WinHTTP: one synchronous exchange per Post, run on a helper
// thread so that Post can return at its deadline or at Cancel while WinHTTP
// is still blocked (see win32_http.cpp).
#include "platform/http_port.h"

#include <memory>

namespace kx::win32 {

class Win32Http : public HttpPort {
public:
    Win32Http();
    ~Win32Http() override;
    Win32Http(const Win32Http&) = delete;
    Win32Http& operator=(const Win32Http&) = delete;

    HttpResponse Post(const HttpRequest& request) override;
    void Cancel() override;

    // The helper threads alive now (at most two).
    int HelperThreads() const;

    struct Shared;  // the state Post shares with its helper threads

private:
    std::shared_ptr<Shared> shared_;
};

} // namespace kx::win32
