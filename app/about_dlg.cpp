#include "about_dlg.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "dialog_units.h"

namespace korvel {

namespace {

QRect Dlu(int x, int y, int w, int h) {
    return QRect(DluToPixelsX(x), DluToPixelsY(y), DluToPixelsX(w), DluToPixelsY(h));
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About KORVEL"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(DluToPixelsX(170), DluToPixelsY(62));
    if (parent) {
        setFont(parent->font());
    }

    auto* icon = new QLabel(this);
    const QRect iconRect = Dlu(14, 14, 21, 20);
    icon->setGeometry(QRect(iconRect.topLeft(), QSize(32, 32)));
    icon->setPixmap(QIcon(QStringLiteral(":/korvel/icon_32.png")).pixmap(32, 32));

    auto* name = new QLabel(QStringLiteral("KORVEL, Version 1.0"), this);
    name->setTextFormat(Qt::PlainText);  // an ampersand shows as itself
    name->setObjectName(QStringLiteral("aboutName"));
    name->setGeometry(Dlu(42, 14, 114, 8));

    auto* notice = new QLabel(QStringLiteral("HF antenna analyzer front-end"), this);
    notice->setObjectName(QStringLiteral("aboutNotice"));
    notice->setGeometry(Dlu(42, 26, 114, 8));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    ok->setGeometry(Dlu(113, 41, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace korvel
