// Every business reply: the envelope as the sink reads it, and the payload of an accepted reply
// handed to the handler of its request, on the thread the controller uses for it. The first byte
// picks the request.
#include <json/value.h>

#include "fuzzenvironment.h"
#include "service/replyenvelope.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    fenwixfuzz::FuzzEnvironment& env = fenwixfuzz::FuzzEnvironment::instance();
    BusinessReply reply;
    if (!readBusinessReply(fenwixfuzz::text(data + 1, size - 1), reply) ||
        reply.success != ReplySuccess::Accepted) {
        return 0;
    }
    FenwixStudentServer& server = env.server();
    switch (data[0] % 5) {
        case 0:  // registration: handled on the UI thread, as notice 15 makes the controller do
            env.window().runOnUi([&] { server.onRegisterReply(reply.payload); });
            break;
        case 1:
            server.onPlanRoomReply(reply.payload);
            break;
        case 2:  // unified report and microphone option share their handler
        case 3:
            server.onReportReply(reply.payload);
            break;
        default:
            server.onUpdateReply(reply.payload);
            break;
    }
    fenwixfuzz::settle();
    return 0;
}
