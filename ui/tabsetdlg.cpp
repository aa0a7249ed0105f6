#include "ui/tabsetdlg.h"

#include <json/value.h>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>

#include <string>
#include <vector>

#include "devices/audiodevicefunc.h"
#include "logging/log4z.h"
#include "platform/textcodec.h"
#include "service/commonutil.h"
#include "service/fenwixstudentserver.h"
#include "ui/dialogunits.h"
#include "ui/endtrackslider.h"

namespace {

const char kSameAsSystem[] = "Same as system";
constexpr int kVolumeMax = 65536;
// The dynamic-information report of a speaker volume change made here.
constexpr int kSpeakerVolumeReport = 4;
constexpr int kFromLocal = 0;

QString shown(const std::string& utf8) {
    return QString::fromStdString(fenwix::platform::utf8ToLocal(utf8));
}

std::string applied(const QString& text) {
    return fenwix::platform::localToUtf8(text.toStdString());
}

// Adds the names to the list, leaving out the "Same as system" entry, and returns the name the
// entry at `current` stands for: the system default's name for that entry.
std::string addDevices(QComboBox* list, const std::vector<std::string>& names, int current,
                       bool capture) {
    std::string chosen;
    for (int position = 0; position < static_cast<int>(names.size()); ++position) {
        const std::string& name = names[static_cast<size_t>(position)];
        if (name == kSameAsSystem) {
            if (position == current) {
                CAudioDeviceFunc().GetDefaultName(capture, chosen);
            }
            continue;
        }
        list->addItem(shown(name));
        if (position == current) {
            chosen = fenwix::platform::utf8ToLocal(name);
        }
    }
    return chosen;
}

// Selects the first entry that begins with the name; false when none does. An empty name (no
// default device known) selects nothing, so the list never shows a device that is not in use.
bool selectByPrefix(QComboBox* list, const std::string& name) {
    if (name.empty()) {
        return false;
    }
    const QString prefix = QString::fromStdString(name);
    for (int i = 0; i < list->count(); ++i) {
        if (list->itemText(i).startsWith(prefix, Qt::CaseInsensitive)) {
            list->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

QComboBox* makeList(QWidget* parent, const QFont& font, const char* id, int x, int y) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(id));
    list->setEditable(false);
    // Templates give a drop-down its opened height; the closed box is one line high.
    QRect rect = dialogUnitsToRect(font, x, y, 151, 30);
    rect.setHeight(list->sizeHint().height());
    list->setGeometry(rect);
    return list;
}

void makeGroup(QWidget* parent, const QFont& font, const char* text, QRect units) {
    auto* group = new QGroupBox(QString::fromUtf8(text), parent);
    group->setGeometry(
        dialogUnitsToRect(font, units.x(), units.y(), units.width(), units.height()));
    group->lower();  // behind the controls inside it
}

QLabel* makeLabel(QWidget* parent, const QFont& font, const char* text, QRect units) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setGeometry(
        dialogUnitsToRect(font, units.x(), units.y(), units.width(), units.height()));
    return label;
}

CEndTrackSlider* makeSlider(QWidget* parent, const QFont& font, const char* id, int x, int y) {
    auto* slider = new CEndTrackSlider(parent);
    slider->setObjectName(QString::fromLatin1(id));
    slider->setGeometry(dialogUnitsToRect(font, x, y, 100, 15));
    return slider;
}

}  // namespace

CTabSetDlg::CTabSetDlg(QWidget* parent) : QWidget(parent) {
    QFont font(QStringLiteral("MS Shell Dlg"));
    font.setPointSize(8);
    setFont(font);
    resize(dialogUnitsToPixels(font, 411, 227));

    makeGroup(this, font, "摄像头", {15, 14, 363, 49});
    makeLabel(this, font, "摄像头", {27, 32, 33, 14});
    m_cameras = makeList(this, font, "1001", 71, 30);

    makeGroup(this, font, "麦克风", {15, 74, 362, 49});
    makeLabel(this, font, "麦克风", {27, 92, 33, 14});
    m_microphones = makeList(this, font, "1004", 71, 90);
    // The microphone volume is kept but not offered on screen.
    makeLabel(this, font, "音量", {241, 91, 24, 12})->hide();
    auto* micVolume = makeSlider(this, font, "1023", 268, 89);
    micVolume->hide();
    m_micVolume = micVolume;

    makeGroup(this, font, "扬声器", {17, 142, 358, 49});
    makeLabel(this, font, "扬声器", {29, 160, 33, 14});
    m_speakers = makeList(this, font, "1002", 73, 158);
    makeLabel(this, font, "音量", {238, 161, 24, 12});
    auto* speakerVolume = makeSlider(this, font, "1025", 266, 159);
    m_speakerVolume = speakerVolume;

    connect(m_cameras, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &CTabSetDlg::OnCameraChanged);
    connect(m_microphones, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &CTabSetDlg::OnMicrophoneChanged);
    connect(m_speakers, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &CTabSetDlg::OnSpeakerChanged);
    connect(micVolume, &CEndTrackSlider::endTrack, this, &CTabSetDlg::OnMicVolumeEnd);
    connect(speakerVolume, &CEndTrackSlider::endTrack, this, &CTabSetDlg::OnSpeakerVolumeEnd);
}

void CTabSetDlg::SetServer(FenwixStudentServer* server) {
    m_server = server;
    if (m_server != nullptr) {
        Fill();
    }
}

void CTabSetDlg::Fill() {
    m_filling = true;
    const VidyoDeviceLists lists = m_server->getDeviceLists();
    CComConfig* config = CComConfig::getInstance();

    for (const std::string& name : lists.cameras) {
        m_cameras->addItem(shown(name));
    }
    m_cameras->setCurrentIndex(lists.curCamera < m_cameras->count() ? lists.curCamera : -1);

    const std::string microphone =
        addDevices(m_microphones, lists.microphones, lists.curMicrophone, true);
    m_microphones->setCurrentIndex(-1);
    if (selectByPrefix(m_microphones, microphone)) {
        m_server->setMicrophoneByName(fenwix::platform::localToUtf8(microphone));
    }
    m_micVolume->setRange(0, kVolumeMax);
    m_micVolume->setValue(config->getMicVolume());

    const std::string speaker = addDevices(m_speakers, lists.speakers, lists.curSpeaker, false);
    m_speakers->setCurrentIndex(-1);
    if (selectByPrefix(m_speakers, speaker)) {
        m_server->setSpeakerByName(fenwix::platform::localToUtf8(speaker));
    }
    m_speakerVolume->setRange(0, kVolumeMax);
    m_speakerVolume->setValue(config->getSpeakerVolume());
    m_filling = false;
}

void CTabSetDlg::OnCameraChanged(int index) {
    if (!m_filling && m_server != nullptr && index >= 0) {
        m_server->setCamera(index);
    }
}

void CTabSetDlg::OnMicrophoneChanged(int index) {
    if (!m_filling && m_server != nullptr && index >= 0) {
        m_server->setMicrophoneByName(applied(m_microphones->itemText(index)));
    }
}

void CTabSetDlg::OnSpeakerChanged(int index) {
    if (!m_filling && m_server != nullptr && index >= 0) {
        m_server->setSpeakerByName(applied(m_speakers->itemText(index)));
    }
}

void CTabSetDlg::OnMicVolumeEnd() {
    if (m_server == nullptr) {
        return;
    }
    const int volume = m_micVolume->value();
    m_server->setMicVolume(volume);
    CComConfig::getInstance()->setMicVolume(volume);
}

void CTabSetDlg::OnSpeakerVolumeEnd() {
    if (m_server == nullptr) {
        return;
    }
    const int volume = m_speakerVolume->value();
    m_server->setSpeakerVolume(volume);
    CComConfig::getInstance()->setSpeakerVolume(volume);
    Json::Value event(Json::objectValue);
    event["type"] = kSpeakerVolumeReport;
    event["size"] = volume;
    event["from"] = kFromLocal;
    m_server->reportDynamicInfo(FenwixStudentServer::eventText(event));
}
