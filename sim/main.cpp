// fenwix-sim: the loopback backend used for development and tests.
#include "sim/adminface.h"
#include "sim/businessface.h"
#include "sim/connectionkill.h"
#include "sim/consoleface.h"
#include "sim/demoscript.h"
#include "sim/listener.h"
#include "sim/options.h"
#include "sim/portalface.h"
#include "sim/pushface.h"

#include <pthread.h>
#include <signal.h>

#include <fstream>
#include <iostream>
#include <thread>

using namespace fenwixsim;

namespace {
bool writePortFile(const std::string& path, int port) {
    // Written under a temporary name and renamed, so a reader never sees a partial number.
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << port << "\n";
        if (!out) {
            return false;
        }
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

// Blocks the stop signals in every thread; one thread waits for them and stops the listener.
sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}
}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        std::cerr << "fenwix-sim: " << error << "\n(try --help)" << std::endl;
        return 2;
    }
    if (options.help) {
        std::cout << helpText();
        return 0;
    }
    ignoreBrokenPipes();
    sigset_t signals = stopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    SimCore core(options.strict);
    BusinessState business;
    PushChannel push(options.holdMs);
    Listener listener(core);
    BusinessFace businessFace(business);
    PushFace pushFace(push, [&listener] { return listener.isDown(); });
    AdminFace adminFace(core, listener, business, businessFace, push, helpText());
    ConsoleFace console;
    PortalState portal;
    PortalFace portalFace(portal, business, [&listener] {
        return "http://127.0.0.1:" + std::to_string(listener.port());
    });
    adminFace.setExtraReset([&portal] { portal.reset(); });
    DemoScript demo(business, push, portal,
                    [&listener] { return "http://127.0.0.1:" + std::to_string(listener.port()); });
    demo.install(core);
    businessFace.install(core);
    pushFace.install(core);
    adminFace.install(core);
    console.install(core);
    portalFace.install(core);
    listener.setOnDown([&push, &portal] {
        push.interruptWaiters();
        portal.interruptWaiters();
    });

    if (!listener.start(options.port)) {
        std::cerr << "fenwix-sim: cannot listen on 127.0.0.1:" << options.port << std::endl;
        return 1;
    }
    std::cout << "fenwix-sim listening on 127.0.0.1:" << listener.port() << std::endl;
    if (!options.portFile.empty() && !writePortFile(options.portFile, listener.port())) {
        std::cerr << "fenwix-sim: cannot write the port file " << options.portFile << std::endl;
        return 1;
    }

    if (options.demo) {
        demo.start();
        std::cout << "fenwix-sim: demo class on; every terminal that registers gets one in a loop"
                  << std::endl;
    }

    std::thread signalWaiter([&listener, signals] {
        int received = 0;
        sigwait(&signals, &received);
        listener.stop();
    });
    signalWaiter.detach();
    listener.wait();
    demo.stop();
    push.interruptWaiters();  // held polls and injected delays end now
    portal.interruptWaiters();
    core.interruptDelays();
    listener.join();
    return 0;
}
