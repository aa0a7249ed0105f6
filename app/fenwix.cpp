#include "app/fenwix.h"

#include "app/fenwixdlg.h"
#include "logging/log4z.h"
#include "platform/debugtrace.h"

CFenwixApp::CFenwixApp(int& argc, char** argv) : QApplication(argc, argv) {}

bool CFenwixApp::InitInstance() {
    log4z::Log4zManager::instance().start();
    setOrganizationName(QString::fromUtf8("应用程序向导生成的本地应用程序"));
    setQuitOnLastWindowClosed(false);  // the modal run of the main window decides
    {
        CFenwixDlg dlg;
        if (dlg.DoModal() == 0) {
            fenwix::platform::debugTrace("警告: 对话框创建失败，应用程序将意外终止。\n");
        }
    }  // leaving the scope runs the main controller's shutdown sequence
    return false;
}
