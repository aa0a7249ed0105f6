// How the backend client reports the outcome of its HTTP requests to the main controller. Called
// on HTTP worker threads; implementations reach windows only through main-window events.
#pragma once

#include <string>

class FenwixStudentSink {
public:
    // An asynchronous business request or a download failed.
    virtual void httpFail(int type) = 0;
    // An asynchronous business request got an HTTP 200 reply.
    virtual void httpBack(const std::string& reply, int type) = 0;
    // Never called by the backend client; kept for its place in the interface.
    virtual void sysRegisterBack(const std::string& text) = 0;
    // A download finished successfully.
    virtual void downloadBack(int type) = 0;

protected:
    // Not deleted through the interface: keeps the four operations alone in the table, in order.
    ~FenwixStudentSink() = default;
};
