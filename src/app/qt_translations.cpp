#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace plovex {

QList<QTranslator*> InstallQtTranslations()
{
    QList<QTranslator*> installed;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return installed;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // qtbase holds the texts of the widgets and dialogs that the program uses.
    auto* translator = new QTranslator(app);
    if (translator->load(QStringLiteral("qtbase_zh_CN"), folder)
        && QCoreApplication::installTranslator(translator)) {
        installed << translator;
    } else {
        delete translator;
    }
    return installed;
}

} // namespace plovex
