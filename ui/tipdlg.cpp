#include "ui/tipdlg.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialogunits.h"

CTipDlg::CTipDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("芬维提示"));
    setFont(dialogFont());
    setFixedSize(dialogUnitsToPixels(font(), kWidthUnits, kHeightUnits));

    m_staticText = new QLabel(QStringLiteral("请打开您的麦克风和音响"), this);
    m_staticText->setAlignment(Qt::AlignCenter);
    m_staticText->setWordWrap(true);
    m_btnClose = new QPushButton(QStringLiteral("关闭"), this);
    m_btnClose->setDefault(true);
    connect(m_btnClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_staticText, 1);
    layout->addWidget(m_btnClose, 0, Qt::AlignHCenter);
}
