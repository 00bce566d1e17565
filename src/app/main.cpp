#include "app/main_form.h"
#include "app/qt_translations.h"
#include "app/splash_form.h"
#include "app/ui_font.h"
#include "platform/errors.h"
#include "platform/widget_prompts.h"

#include <QApplication>

namespace {

// The last line of defence: an exception that escapes an event handler is
// reported like any other error and the program carries on.
class TApplication final : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (...) {
            plovex::ReportCurrentException();
            return false;
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Plovex v3.0"));
    QApplication::setOrganizationName(QStringLiteral("Plovex"));
    QFont font = plovex::UiFont(12);
    QApplication::setFont(font);
    plovex::InstallQtTranslations();
    plovex::InstallWidgetSeams();

    auto* splash = new plovex::TSplashFrm;
    splash->show();
    splash->repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers);

    // Command line: one optional movie path; further arguments are ignored.
    const QStringList args = QApplication::arguments();
    const QString movie = args.size() > 1 ? args[1] : QString();
    plovex::TMFrm form(movie);
    form.showMaximized();
    return QApplication::exec();
}
