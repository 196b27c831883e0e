// Shows the Query tab's script editor after running a script with a result set, a PRINT message
// and an error, for a look at it on a screen (run under Xvfb with the simulator's demo instance
// and take a screenshot). Arguments: the simulator's port, seconds to stay open (default 30), and
// optionally a script file to run instead of the built-in one.
#include "TADOConnection.h"
#include "TApplication.h"
#include "TLumSqlEditor.h"
#include "uTLumModuleInterface.h"
#include "uTLumScriptRunner.h"
#include "uTaLumScript.h"
#include "ufLumScript.h"

#include <cstdio>
#include <cstdlib>

#include <QFile>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    app.SetTitle(QStringLiteral("Marlinde"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: query_shot PORT [SECONDS [SCRIPT]]\n");
        return 2;
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 30;
    TADOConnection connection;
    connection.SetConnectionString(
        QStringLiteral("Data Source=127.0.0.1,%1;Initial Catalog=Sales;User ID=sa;Password=sa").arg(argv[1]));
    connection.Open();
    TLumModuleInterface context;
    context.SetADOConnection(&connection);
    context.SetLanguage(QStringLiteral("English"));
    QWidget window;
    window.setWindowTitle(QStringLiteral("Marlinde - Query"));
    window.resize(900, 620);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* page = new QWidget(&window);
    layout->addWidget(page);
    TaLumScript action(nullptr, QStringLiteral("aLumScript"));
    action.SetModuleInterface(&context);
    action.SetParent(page);
    action.Loaded();
    window.show();
    action.Execute();
    auto* form = qobject_cast<TfLumScript*>(action.ModuleForm());
    form->LumScriptRunner->OnAsk = [](QObject*, const QString&, TLumScriptRunner::TLumAskType, bool& answer) {
        answer = true;
    };
    QString script = QStringLiteral("-- customers of the first region\n"
                                    "select top 5 id, name, city, created from Customers where regionId = 1\n"
                                    "GO\n"
                                    "print 'Five customers listed.'\n"
                                    "GO\n"
                                    "select * from NoSuchTable\n"
                                    "GO\n");
    if (argc > 3) {
        QFile file(QString::fromLocal8Bit(argv[3]));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", argv[3]);
            return 2;
        }
        script = QString::fromUtf8(file.readAll());
    }
    form->re1->setText(script);
    form->Splitter1->setSizes({300, 300});
    QTimer::singleShot(300, form, [form] { form->aRunExecute(); });
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
