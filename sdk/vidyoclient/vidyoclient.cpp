// The six exported functions over the process-wide client.
#include "sdk/vidyoclient/vidyoclient.h"

#include "sdk/vidyoclient/clientlog.h"
#include "sdk/vidyoclient/conferenceclient.h"

#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>

using vidyoclient::clientLog;
using vidyoclient::ConferenceClient;

namespace {
// Initialise and uninitialise replace the client under the exclusive lock; every other call
// holds it shared, so a call never meets a half-destroyed client.
std::shared_mutex& lifecycle() {
    static std::shared_mutex mutex;
    return mutex;
}
// Never destroyed at exit: exit() may come from any thread (Xlib ends the program from
// whichever thread met a lost display), and tearing the client down there joins threads that
// are mid-call. The host releases it with the uninitialise call.
std::unique_ptr<ConferenceClient>& client() {
    static auto* instance = new std::unique_ptr<ConferenceClient>();
    return *instance;
}

std::string textOr(const char* text, const char* fallback) {
    return text != nullptr ? std::string(text) : std::string(fallback);
}
}  // namespace

extern "C" {

VIDYOCLIENT_API int VidyoClientInitialize(VidyoClientOutEventCallback callback, void* data,
                                          const VidyoClientLogProperties* logProperties) {
    (void)callback;
    (void)data;
    std::unique_lock<std::shared_mutex> lock(lifecycle());
    if (client()) {
        clientLog().line("initialise refused: already initialised");
        return VIDYO_CLIENT_FAILED;
    }
    if (logProperties != nullptr) {
        clientLog().line("initialise; log levels \"" +
                         textOr(logProperties->levelsAndCategories, "") + "\"");
    }
    client() = std::make_unique<ConferenceClient>();
    return VIDYO_CLIENT_OK;
}

VIDYOCLIENT_API int VidyoClientStart(VidyoClientOutEventCallback callback, void* data,
                                     const VidyoClientLogProperties* logProperties,
                                     VidyoClientWindowHandle window,
                                     const VidyoClientRect* videoRect, void* reserved,
                                     const VidyoClientStartParams* startParams,
                                     VidyoClientBool beginInDock) {
    (void)reserved;
    (void)beginInDock;
    std::shared_lock<std::shared_mutex> lock(lifecycle());
    if (!client() || callback == nullptr) {
        return VIDYO_CLIENT_FAILED;
    }
    std::string folder;
    if (startParams != nullptr && startParams->pathToLogDir != nullptr) {
        folder = startParams->pathToLogDir;
    } else if (logProperties != nullptr && logProperties->logFileDirectory != nullptr) {
        folder = logProperties->logFileDirectory;
    }
    clientLog().open(folder);
    if (startParams != nullptr) {
        clientLog().line("start for " + textOr(startParams->applicationName, "?") + " " +
                         textOr(startParams->applicationVersion, "?") + ", window " +
                         std::to_string(window));
    }
    return client()->start(callback, data, window, videoRect) ? VIDYO_CLIENT_OK
                                                              : VIDYO_CLIENT_FAILED;
}

VIDYOCLIENT_API int VidyoClientSendRequest(unsigned int request, void* param,
                                           unsigned int paramSize) {
    std::shared_lock<std::shared_mutex> lock(lifecycle());
    return client() ? client()->request(request, param, paramSize) : VIDYO_CLIENT_FAILED;
}

VIDYOCLIENT_API int VidyoClientSendEvent(unsigned int event, void* param, unsigned int paramSize) {
    std::shared_lock<std::shared_mutex> lock(lifecycle());
    return client() ? client()->event(event, param, paramSize) : VIDYO_CLIENT_FAILED;
}

VIDYOCLIENT_API int VidyoClientStop(void) {
    std::shared_lock<std::shared_mutex> lock(lifecycle());
    return client() && client()->stop() ? VIDYO_CLIENT_OK : VIDYO_CLIENT_FAILED;
}

VIDYOCLIENT_API void VidyoClientUninitialize(void) {
    std::unique_lock<std::shared_mutex> lock(lifecycle());
    if (client()) {
        client()->stop();
        client().reset();
        clientLog().line("uninitialised");
        clientLog().close();
    }
}

}  // extern "C"
