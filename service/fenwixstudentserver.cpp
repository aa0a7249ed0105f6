#include "service/fenwixstudentserver.h"

#include <mutex>
#include <shared_mutex>

#include "logging/log4z.h"
#include "service/fenwixstudentsink.h"

namespace {

// The controller that hears every request's outcome. Completions hold the lock shared while they
// call it, so replacing the sink waits for calls in progress.
std::shared_mutex g_sinkMutex;
FenwixStudentSink* g_sink = nullptr;

}  // namespace

void FenwixStudentServer::setSink(FenwixStudentSink* sink) {
    std::unique_lock<std::shared_mutex> lock(g_sinkMutex);
    g_sink = sink;
}

bool FenwixStudentServer::hasSink() {
    std::shared_lock<std::shared_mutex> lock(g_sinkMutex);
    return g_sink != nullptr;
}

void FenwixStudentServer::onRequestDone(bool ok, const std::string& reply, int type) {
    std::shared_lock<std::shared_mutex> lock(g_sinkMutex);
    if (g_sink == nullptr) {
        return;
    }
    if (ok) {
        g_sink->httpBack(reply, type);
    } else {
        g_sink->httpFail(type);
    }
}

void FenwixStudentServer::onDownloadDone(bool ok, int type) {
    if (!ok) {
        LOGE("DownLoading failed");
    }
    std::shared_lock<std::shared_mutex> lock(g_sinkMutex);
    if (g_sink == nullptr) {
        return;
    }
    if (ok) {
        g_sink->downloadBack(type);
    } else {
        g_sink->httpFail(type);
    }
}

void FenwixStudentServer::setChatSenderUri(const std::string& uri) {
    m_strChatSenderUri = uri.substr(0, kMaxChatSenderUri);
}
