#include "net/trustlist.h"

#include "net/certificates.h"
#include "tests/support/tempprofile.h"
#include "tests/support/testcertificates.h"

#include <gtest/gtest.h>

#include <QFile>

namespace vantrel {
namespace {

using test::testcertificates::NewAuthority;

class TrustListTest : public ::testing::Test
{
protected:
    void SetUp() override { m_profile.write(TrustList::OwnAuthorityFile, m_own.certificatePem); }

    QByteArray List() const
    {
        QFile file(m_profile.file(TrustList::ListFile));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    TrustList Trust() const { return TrustList(ProgramFolder(m_profile.path())); }

    test::TempFolder m_profile;
    certificates::PemPair m_own = NewAuthority(QStringLiteral("Own"));
    certificates::PemPair m_carol = NewAuthority(QStringLiteral("Carol"));
    certificates::PemPair m_dave = NewAuthority(QStringLiteral("Dave"));
};

// What a hand-edited file holds stays as it was: comments, line ends, a missing last line
// break. Appending adds after it; removing cuts out one certificate and its line end only.
TEST_F(TrustListTest, AppendAndRemoveKeepEveryOtherByte)
{
    QByteArray carolCrlf = m_carol.certificatePem;
    carolCrlf.replace("\n", "\r\n");
    const QByteArray edited = "# trusted by hand\n" + m_own.certificatePem + carolCrlf + "# end\n" +
                              m_dave.certificatePem.chopped(1);
    m_profile.write(TrustList::ListFile, edited);

    const certificates::PemPair erin = NewAuthority(QStringLiteral("Erin"));
    EXPECT_EQ(Trust().Append({erin.certificatePem, m_carol.certificatePem}), 1);
    EXPECT_EQ(List(), edited + '\n' + erin.certificatePem);
    EXPECT_EQ(Trust().Append({erin.certificatePem}), 0); // already there: nothing written

    EXPECT_EQ(Trust().Remove(certificates::Fingerprint(m_carol.certificatePem)),
              TrustList::RemoveResult::Removed);
    EXPECT_EQ(List(), "# trusted by hand\n" + m_own.certificatePem + "# end\n" +
                          m_dave.certificatePem.chopped(1) + '\n' + erin.certificatePem);
    EXPECT_EQ(Trust().Remove(certificates::Fingerprint(m_carol.certificatePem)),
              TrustList::RemoveResult::NotFound);
}

TEST_F(TrustListTest, TheOwnAuthorityStaysAndDatesFollowTheEntries)
{
    m_profile.write(TrustList::ListFile, m_own.certificatePem + m_carol.certificatePem);
    ASSERT_EQ(Trust().Append({m_dave.certificatePem}), 1);

    const QList<TrustList::Entry> entries = Trust().Entries();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_TRUE(entries[0].own);
    EXPECT_FALSE(entries[1].own || entries[2].own);
    EXPECT_FALSE(entries[1].since.isValid()); // there before dates were kept
    EXPECT_TRUE(entries[2].since.isValid());
    EXPECT_LE(entries[2].since.secsTo(QDateTime::currentDateTimeUtc()), 60);

    const QByteArray before = List();
    EXPECT_EQ(Trust().Remove(entries[0].fingerprint), TrustList::RemoveResult::Own);
    EXPECT_EQ(List(), before);

    // Removed and trusted again: dated afresh, not by the old record.
    EXPECT_EQ(Trust().Remove(entries[2].fingerprint), TrustList::RemoveResult::Removed);
    EXPECT_EQ(Trust().Entries().size(), 2);
    EXPECT_FALSE(Trust().Contains(m_dave.certificatePem));
    EXPECT_TRUE(Trust().Contains(m_carol.certificatePem));
}

} // namespace
} // namespace vantrel
