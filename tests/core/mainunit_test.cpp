#include "core/mainunit.h"

#include "core/handoff.h"
#include "core/handoffreceiver.h"
#include "core/transferhub.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/tempprofile.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QStatusBar>
#include <QUrl>

namespace vantrel {
namespace {

struct ShownError
{
    QString caption;
    QString text;
};

class MainFormTest : public ::testing::Test
{
protected:
    std::unique_ptr<TMainForm> MakeForm(const QString& executableFolder)
    {
        TMainForm::Options options;
        options.core.executableFolder = executableFolder;
        // Nobody is there to answer a real dialog.
        options.dialogs = &m_dialogs;
        options.useTray = false;
        options.quit = [] {};
        options.showError = [this](const QString& caption, const QString& text) {
            m_errors.push_back({caption, text});
        };
        return std::make_unique<TMainForm>(
            std::make_unique<ProgramCore>(Profile::Portable(m_temp.path())), options);
    }

    test::TempFolder m_temp;
    test::ScriptedDialogs m_dialogs;
    std::vector<ShownError> m_errors;
};

TEST_F(MainFormTest, FirstShowPutsTheVersionInTheStatusBar)
{
    auto form = MakeForm(test::BuildFolder());
    ASSERT_TRUE(form->initialised());
    EXPECT_TRUE(m_errors.empty());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Vantrel"));
    EXPECT_EQ(TMainForm::VersionText(), QStringLiteral("Vantrel v 1.20"));

    form->show();
    // Found by its form name, as tests and accessibility tools find it.
    auto* statusBar = form->findChild<QStatusBar*>(QStringLiteral("StatusBar"));
    ASSERT_NE(statusBar, nullptr);
    EXPECT_EQ(statusBar, form->statusBar());
    const QList<QLabel*> labels = statusBar->findChildren<QLabel*>();
    const bool versionShown = std::any_of(labels.begin(), labels.end(), [](QLabel* label) {
        return label->text() == QStringLiteral("Vantrel v 1.20");
    });
    EXPECT_TRUE(versionShown);
    EXPECT_TRUE(form->acceptDrops());
}

TEST_F(MainFormTest, MissingCompressionComponentIsAnInitError)
{
    test::TempFolder empty;
    auto form = MakeForm(empty.path());
    if (form->initialised())
        GTEST_SKIP() << "libzipbridge.so is on the library search path";
    EXPECT_EQ(form->initResult(), ProgramCore::InitResult::ZipInitFailed);
    ASSERT_EQ(m_errors.size(), 1u);
    EXPECT_EQ(m_errors[0].caption, QStringLiteral("Init Error!"));
    EXPECT_EQ(m_errors[0].text, QStringLiteral("Unable to initialize Zip DLL"));
}

TEST_F(MainFormTest, DropHandsOffTheFirstLocalFileOnly)
{
    auto form = MakeForm(test::BuildFolder());
    ASSERT_TRUE(form->initialised());
    QStringList opened;
    QObject::connect(form->core().handOff(), &HandOffReceiver::openSendRequested, form.get(),
                     [&](const QString& path) { opened << path; });

    const QString first = m_temp.file(QStringLiteral("one file.txt"));
    {
        QFile file(first);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("to send");
    }
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(first),
                  QUrl::fromLocalFile(m_temp.file(QStringLiteral("two"))),
                  QUrl::fromLocalFile(m_temp.file(QStringLiteral("three")))});
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    // Straight to the window: the application routes drops only during a real drag.
    static_cast<QObject*>(form.get())->event(&drop);
    EXPECT_TRUE(drop.isAccepted());

    ASSERT_TRUE(test::WaitUntil([&] { return !opened.isEmpty(); }));
    EXPECT_EQ(opened, QStringList({first}));
    EXPECT_EQ(handoff::ReadFile(form->core().folder().file(handoff::FileName)), first.toUtf8());
    // The hub opens one send, with its UPLOADS row, for the first file only.
    ASSERT_TRUE(test::WaitUntil([&] { return form->core().hub()->uploads().rowCount() == 1; }));
    EXPECT_EQ(form->core().hub()->activeCount(), 1);
}

} // namespace
} // namespace vantrel
