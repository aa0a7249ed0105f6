#include "app/updatedlg.h"

#include <QFont>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "platform/debugtrace.h"

namespace {

// The window was laid out in dialog units of its 8-point font; these are that font's pixels per
// unit on a 96-dpi screen.
constexpr double kUnitX = 1.5;
constexpr double kUnitY = 1.625;

QRect dialogUnits(int x, int y, int w, int h) {
    return QRect(static_cast<int>(x * kUnitX), static_cast<int>(y * kUnitY),
                 static_cast<int>(w * kUnitX), static_cast<int>(h * kUnitY));
}

QLabel* makeLabel(QWidget* parent, const char* text, const QRect& rect, Qt::Alignment align) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setGeometry(rect);
    label->setAlignment(align);
    return label;
}

}  // namespace

CUpdateDlg::CUpdateDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_download(*this) {
    setFont(QFont(QStringLiteral("Microsoft Sans Serif"), 8));
    setFixedSize(dialogUnits(0, 0, 179, 82).size());
    m_staticTitle = makeLabel(this, "系统升级", dialogUnits(68, 0, 38, 20), Qt::AlignCenter);
    m_staticText = makeLabel(this, "正在进行系统升级，请稍等...", dialogUnits(36, 20, 108, 12),
                             Qt::AlignLeft | Qt::AlignVCenter);
    m_progress = new QProgressBar(this);
    m_progress->setGeometry(dialogUnits(10, 42, 134, 9));
    m_progress->setTextVisible(false);
    m_staticPercent =
        makeLabel(this, "0", dialogUnits(148, 42, 25, 9), Qt::AlignLeft | Qt::AlignVCenter);
    m_btnCancel = new QPushButton(QString::fromUtf8("取消升级"), this);
    m_btnCancel->setGeometry(dialogUnits(57, 59, 51, 16));
    m_btnCancel->setAutoDefault(false);
    connect(m_btnCancel, &QPushButton::clicked, this, [this] { OnBnClickedCancel(); });
}

CUpdateDlg::~CUpdateDlg() {
    // The thread reports to this window: it has to be gone before the controls are.
    m_download.stopAndWait();
    fenwix::platform::debugTrace("CUpdateDlg::~CUpdateDlg()\n");
}

void CUpdateDlg::SetUrlAndPath(const std::string& url, const std::string& filePath) {
    m_strUrl = url;
    m_strFilePath = filePath;
}

int CUpdateDlg::DoModal() {
    OnInitDialog();
    if (QScreen* screen = this->screen()) {
        move(screen->geometry().center() - rect().center());
    }
    return exec();
}

void CUpdateDlg::OnInitDialog() {
    // Every showing starts from the window's initial look.
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_nPosition = 0;
    m_staticPercent->setText(QStringLiteral("0"));
    ++m_attempt;
    m_download.start(m_strUrl, m_strFilePath, m_strSha256);
}

void CUpdateDlg::SetProgress(double fraction) {
    const int lower = m_progress->minimum();
    const int upper = m_progress->maximum();
    // One more than the share of the range: 0 shows 1, the whole shows one past the end, which
    // the bar draws full.
    m_nPosition = static_cast<int>((upper - lower) * fraction + 1.0);
    m_progress->setValue(std::clamp(m_nPosition, lower, upper));
    m_staticPercent->setText(QString::asprintf("%0.1f%%", fraction * 100));
}

QString CUpdateDlg::percentText() const {
    return m_staticPercent->text();
}

int CUpdateDlg::progressValue() const {
    return m_progress->value();
}

void CUpdateDlg::OnBnClickedCancel() {
    m_download.cancel();
    WaitAndClose();
}

void CUpdateDlg::WaitAndClose() {
    m_download.stopAndWait();
    fenwix::platform::debugTrace("CUpdateDlg Close Quit\n");
    RequestClose();
}

void CUpdateDlg::RequestClose() {
    const unsigned attempt = m_attempt.load();
    QMetaObject::invokeMethod(
        this,
        [this, attempt] {
            if (attempt == m_attempt.load() && isVisible()) {
                done(QDialog::Rejected);
            }
        },
        Qt::QueuedConnection);
}

void CUpdateDlg::onProgress(double fraction) {
    QMetaObject::invokeMethod(
        this, [this, fraction] { SetProgress(fraction); }, Qt::QueuedConnection);
}

void CUpdateDlg::onAttemptEnded() {
    RequestClose();
}
