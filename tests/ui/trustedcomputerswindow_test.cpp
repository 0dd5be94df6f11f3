#include "ui/trustedcomputerswindow.h"

#include "core/base/programfolder.h"
#include "net/certificates.h"
#include "net/trustlist.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/tempprofile.h"
#include "tests/support/testcertificates.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QPushButton>
#include <QTreeWidget>

namespace vantrel {
namespace {

using test::testcertificates::NewAuthority;

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A profile trusting its own authority and Carol's (added before dates were kept).
class TrustedComputersWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_profile.write(TrustList::OwnAuthorityFile, m_own.certificatePem);
        m_profile.write(TrustList::ListFile, m_own.certificatePem + m_carol.certificatePem);
        m_window =
            std::make_unique<TrustedComputersWindow>(ProgramFolder(m_profile.path()), m_dialogs);
        m_window->show();
        m_list = m_window->findChild<QTreeWidget*>(QStringLiteral("TrustedList"));
        m_remove = m_window->findChild<QPushButton*>(QStringLiteral("RemoveBtn"));
        ASSERT_TRUE(m_list && m_remove);
    }

    QString Cell(int row, int column) const { return m_list->topLevelItem(row)->text(column); }
    void Select(int row) { m_list->setCurrentItem(m_list->topLevelItem(row)); }
    QByteArray List() const { return ReadAll(m_profile.file(TrustList::ListFile)); }

    test::TempFolder m_profile;
    certificates::PemPair m_own = NewAuthority(QStringLiteral("Own"));
    certificates::PemPair m_carol = NewAuthority(QStringLiteral("Carol"));
    test::ScriptedDialogs m_dialogs;
    std::unique_ptr<TrustedComputersWindow> m_window;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_remove = nullptr;
};

TEST_F(TrustedComputersWindowTest, ListsTheAuthoritiesAndKeepsTheOwnOne)
{
    ASSERT_EQ(m_list->topLevelItemCount(), 2);
    EXPECT_TRUE(Cell(0, 0).contains(QStringLiteral("CN=Own")));
    EXPECT_TRUE(Cell(0, 0).contains(QStringLiteral("this computer")));
    EXPECT_EQ(Cell(1, 0), QStringLiteral("CN=Carol"));
    EXPECT_EQ(Cell(1, 1), certificates::ReadableFingerprint(m_carol.certificatePem));
    EXPECT_EQ(Cell(1, 2), TrustList::UnrecordedText());

    EXPECT_FALSE(m_remove->isEnabled()); // nothing chosen
    Select(0);
    EXPECT_FALSE(m_remove->isEnabled());
    EXPECT_FALSE(m_remove->toolTip().isEmpty()); // says why
    Select(1);
    EXPECT_TRUE(m_remove->isEnabled());
}

TEST_F(TrustedComputersWindowTest, RemovesOnlyAfterConfirmation)
{
    const QByteArray before = List();
    Select(1);
    m_dialogs.answers = {false};
    m_remove->click();
    EXPECT_EQ(List(), before);
    EXPECT_EQ(m_list->topLevelItemCount(), 2);

    m_dialogs.answers = {true};
    Select(1);
    m_remove->click();
    EXPECT_EQ(List(), m_own.certificatePem);
    ASSERT_EQ(m_list->topLevelItemCount(), 1);
    EXPECT_EQ(m_dialogs.ShownOf(QStringLiteral("question")).size(), 2u);
}

TEST_F(TrustedComputersWindowTest, ImportsAnAuthorityFileWithTheCommandLinesChecks)
{
    const certificates::PemPair dave = NewAuthority(QStringLiteral("Dave"));
    const auto daveServer =
        certificates::MakeServerCertificate(dave, QStringLiteral("davehost"), -60, 86400);
    ASSERT_TRUE(daveServer);
    m_profile.write(QStringLiteral("dave.pem"), dave.certificatePem);
    m_profile.write(QStringLiteral("junk.pem"), "not a certificate");
    // A computer's certificate would verify nothing: it is refused, saying why.
    m_profile.write(QStringLiteral("servercert.pem"), daveServer->certificatePem);
    const QByteArray before = List();

    m_dialogs.openPaths = {m_profile.file(QStringLiteral("junk.pem")),
                           m_profile.file(QStringLiteral("servercert.pem")),
                           m_profile.file(QStringLiteral("dave.pem"))};
    m_window->findChild<QPushButton*>(QStringLiteral("ImportBtn"))->click();
    EXPECT_EQ(List(), before);
    m_window->findChild<QPushButton*>(QStringLiteral("ImportBtn"))->click();
    EXPECT_EQ(List(), before);
    m_window->findChild<QPushButton*>(QStringLiteral("ImportBtn"))->click();
    EXPECT_EQ(List(), before + dave.certificatePem);

    ASSERT_EQ(m_list->topLevelItemCount(), 3);
    EXPECT_EQ(Cell(2, 0), QStringLiteral("CN=Dave"));
    EXPECT_NE(Cell(2, 2), TrustList::UnrecordedText()); // dated now
    const auto messages = m_dialogs.ShownOf(QStringLiteral("message"));
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].icon, QMessageBox::Warning);
    EXPECT_EQ(messages[1].icon, QMessageBox::Warning);
    EXPECT_TRUE(messages[1].text.contains(QStringLiteral("not an authority")))
        << messages[1].text.toStdString();
    EXPECT_EQ(messages[2].icon, QMessageBox::Information);
}

} // namespace
} // namespace vantrel
