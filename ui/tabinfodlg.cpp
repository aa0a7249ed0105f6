#include "ui/tabinfodlg.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>

#include "conference/conferencestatusbean.h"
#include "platform/textcodec.h"
#include "service/commonutil.h"
#include "service/fenwixstudentserver.h"
#include "ui/dialogunits.h"

namespace {

constexpr int kSendIds[5] = {1024, 1026, 1028, 1029, 1030};
constexpr int kRecvIds[5] = {1025, 1027, 1031, 1032, 1033};
constexpr int kSendX[5] = {34, 68, 103, 136, 170};
constexpr int kRecvX[5] = {245, 280, 315, 348, 383};
const char* const kBandwidthLabels[5] = {"可用", "实际", "视频", "声音", "应用"};

QFont textFont() {
    QFont font(QStringLiteral("宋体"));
    font.setPointSize(9);
    return font;
}

// Positions are measured in the settings window's units: the font standing in for the page's
// font is taller here, and the page must still fit the tab it sits in.
QFont unitsFont() {
    QFont font(QStringLiteral("MS Shell Dlg"));
    font.setPointSize(8);
    return font;
}

QString number(std::int32_t value) {
    return QString::number(value);
}

QString localText(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

CTabInfoDlg::CTabInfoDlg(QWidget* parent) : QWidget(parent), m_timer(new QTimer(this)) {
    const QFont font = unitsFont();
    setFont(textFont());
    resize(dialogUnitsToPixels(font, 443, 306));
    const auto group = [&](const char* text, int x, int y, int w, int h) {
        auto* box = new QGroupBox(QString::fromUtf8(text), this);
        box->setGeometry(dialogUnitsToRect(font, x, y, w, h));
        box->lower();
        return box;
    };
    const auto label = [&](const char* text, int x, int y, int w, int h) {
        auto* l = new QLabel(QString::fromUtf8(text), this);
        l->setGeometry(dialogUnitsToRect(font, x, y, w, h));
    };

    group("带宽(kbps)", 15, 7, 414, 88);
    group("发送", 24, 28, 183, 61);
    group("接收", 236, 28, 183, 61);
    for (int i = 0; i < 5; ++i) {
        label(kBandwidthLabels[i], kSendX[i], 42, 27, 12);
        MakeStatic(kSendIds[i], kSendX[i], 62, 27, 12);
        label(kBandwidthLabels[i], kRecvX[i], 42, 27, 12);
        MakeStatic(kRecvIds[i], kRecvX[i], 63, 27, 12);
    }

    m_participants = group("会议人数", 15, 102, 415, 84);
    m_participants->setObjectName(QStringLiteral("1041"));
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("1020"));
    m_list->setGeometry(dialogUnitsToRect(font, 27, 115, 394, 63));
    m_list->setRootIsDecorated(false);
    m_list->setFrameShape(QFrame::Box);
    m_list->clear();
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({QStringLiteral("名字"), QStringLiteral("W*H"), QStringLiteral("FPS")});
    m_list->header()->resizeSection(0, 300);
    m_list->header()->resizeSection(1, 100);
    m_list->header()->resizeSection(2, 100);

    group("CPU", 15, 194, 135, 40);
    label("CPU使用率：", 33, 211, 42, 13);
    MakeStatic(1034, 91, 211, 26, 13);
    group("视频状态", 172, 194, 259, 40);
    label("分辨率：", 179, 211, 32, 13);
    MakeStatic(1035, 223, 211, 61, 13);
    label("FPS：", 297, 211, 24, 13);
    MakeStatic(1036, 328, 211, 51, 13);

    group("基本信息", 15, 239, 416, 53);
    label("P：", 27, 253, 22, 13);
    label("ID：", 27, 273, 22, 13);
    label("R：", 185, 253, 22, 13);
    label("D：", 185, 273, 22, 13);
    MakeStatic(1037, 45, 253, 110, 13);
    MakeStatic(1038, 45, 273, 110, 13);
    MakeStatic(1039, 205, 253, 187, 13);
    MakeStatic(1040, 205, 273, 187, 13);

    // The page lives as long as the settings window, so the timer runs while it is open,
    // whichever page is in front.
    m_timer->setObjectName(QString::number(kRefreshTimerId));
    connect(m_timer, &QTimer::timeout, this, &CTabInfoDlg::OnTimer);
    m_timer->start(kRefreshPeriodMs);
}

QLabel* CTabInfoDlg::MakeStatic(int id, int x, int y, int w, int h) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::number(id));
    label->setGeometry(dialogUnitsToRect(unitsFont(), x, y, w, h));
    m_statics[id] = label;
    return label;
}

QString CTabInfoDlg::staticText(int id) const {
    const auto found = m_statics.find(id);
    return found != m_statics.end() ? found->second->text() : QString();
}

bool CTabInfoDlg::refreshing() const {
    return m_timer->isActive();
}

void CTabInfoDlg::OnTimer() {
    if (m_server == nullptr) {
        return;
    }
    ConferenceStatusBean record;
    m_server->getConferenceStatistics(record);

    const std::int32_t send[5] = {record.availSendBwMax, record.actualSendBwMax,
                                  record.actualSendBwVideo, record.actualSendBwAudio,
                                  record.actualSendBwApplication};
    const std::int32_t recv[5] = {record.availRecvBwMax, record.actualRecvBwMax,
                                  record.actualRecvBwVideo, record.actualRecvBwAudio,
                                  record.actualRecvBwApplication};
    for (int i = 0; i < 5; ++i) {
        m_statics[kSendIds[i]]->setText(number(send[i]));
        m_statics[kRecvIds[i]]->setText(number(recv[i]));
    }

    m_participants->setTitle(QStringLiteral("会议室人数"));
    m_list->clear();
    const std::string& fixed = m_server->chatSenderUri();
    for (const ConferenceStatusRateBean& bean : record.rateList) {
        if (fixed.empty() || bean.uri != fixed) {
            continue;
        }
        auto* row = new QTreeWidgetItem;
        row->setText(0, localText(fenwix::platform::utf8ToLocal(bean.name)));
        row->setText(1, QStringLiteral("%1*%2").arg(bean.width).arg(bean.height));
        row->setText(2, QStringLiteral("%1/%2/%3")
                            .arg(bean.videoFrameRate)
                            .arg(bean.videoDisplayedFrameRate)
                            .arg(bean.videoDecodedFrameRate));
        m_list->insertTopLevelItem(0, row);
    }

    m_statics[1034]->setText(QStringLiteral("%1%").arg(record.cpu));
    m_statics[1035]->setText(
        QStringLiteral("%1 * %2").arg(record.videoWidth).arg(record.videoHeight));
    m_statics[1036]->setText(
        QStringLiteral("%1 / %2").arg(record.videoCapture).arg(record.videoSend));

    CComConfig* config = CComConfig::getInstance();
    m_statics[1037]->setText(localText(config->getPortal()));
    m_statics[1038]->setText(localText(config->getApplicationId()));
    m_statics[1039]->setText(localText(config->getRoute()));
    m_statics[1040]->setText(localText(config->getDeviceKey()));
}
