#include "conference/conferencestatusjson.h"

#include <json/json.h>

#include "jsontext/jsontext.h"

namespace {

Json::Value rateEntry(const ConferenceStatusRateBean& rate) {
    Json::Value entry(Json::objectValue);
    entry["width"] = rate.width;
    entry["height"] = rate.height;
    entry["videoKBitsPerSecRecv"] = rate.videoKBitsPerSecRecv;
    entry["audioKBitsPerSecRecv"] = rate.audioKBitsPerSecRecv;
    entry["videoFrameRate"] = rate.videoFrameRate;
    entry["videoDecodedFrameRate"] = rate.videoDecodedFrameRate;
    entry["videoDisplayedFrameRate"] = rate.videoDisplayedFrameRate;
    entry["name"] = rate.name;
    return entry;
}

}  // namespace

std::string buildConferenceStatusJson(const ConferenceStatusBean& status,
                                      const ConferenceStatusContext& context) {
    Json::Value doc(Json::objectValue);
    doc["cpu"] = status.cpu;
    doc["videoWidth"] = status.videoWidth;
    doc["videoHeight"] = status.videoHeight;
    doc["videoCapture"] = status.videoCapture;
    doc["videoSend"] = status.videoSend;
    doc["availSendBwMax"] = status.availSendBwMax;
    doc["actualSendBwMax"] = status.actualSendBwMax;
    doc["actualSendBwVideo"] = status.actualSendBwVideo;
    doc["actualSendBwAudio"] = status.actualSendBwAudio;
    doc["actualSendBwApplication"] = status.actualSendBwApplication;
    doc["availRecvBwMax"] = status.availRecvBwMax;
    doc["actualRecvBwMax"] = status.actualRecvBwMax;
    doc["actualRecvBwVideo"] = status.actualRecvBwVideo;
    doc["actualRecvBwAudio"] = status.actualRecvBwAudio;
    doc["actualRecvBwApplication"] = status.actualRecvBwApplication;
    doc["d3dwidth"] = context.d3dWidth;
    doc["d3dheight"] = context.d3dHeight;
    doc["desktype"] = "student";
    doc["roomkey"] = context.roomKey;
    doc["p"] = context.portal;
    doc["r"] = context.route;
    doc["d"] = context.deviceKey;
    doc["participantID"] = context.participantId;
    doc["isGuest"] = context.isGuest ? 1 : 0;

    Json::Value rates(Json::arrayValue);
    for (const auto& rate : status.rateList) {
        // With no target an entry without an address must not count as the target.
        if (!context.fixTargetUri.empty() && rate.uri == context.fixTargetUri) {
            rates.append(rateEntry(rate));
        }
    }
    doc["participantRateArray"] = rates;
    return jsontext::compactJsonLine(doc);
}
