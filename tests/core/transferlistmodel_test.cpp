#include "core/base/transferlistmodel.h"

#include <QAbstractItemModelTester>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace vantrel {
namespace {

using Model = TransferListModel;

class TransferListModelTest : public ::testing::Test
{
protected:
    Model m_model{Model::Kind::Downloads};
    // Checks every signal the model emits against its contents.
    QAbstractItemModelTester m_tester{&m_model,
                                      QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(TransferListModelTest, NewestRowIsOnTopAndIdsStayWithTheirRows)
{
    QObject first;
    QObject second;
    const Model::RowId a = m_model.InsertTop(&first, QStringLiteral("alpha"));
    const Model::RowId b = m_model.InsertTop(nullptr, QStringLiteral("beta"));
    const Model::RowId c = m_model.InsertTop(&second);

    ASSERT_EQ(m_model.rowCount(), 3);
    EXPECT_EQ(m_model.IdAt(0), c);
    EXPECT_EQ(m_model.IdAt(1), b);
    EXPECT_EQ(m_model.IdAt(2), a);
    EXPECT_EQ(m_model.Cell(a, Model::Host), QStringLiteral("alpha"));
    EXPECT_EQ(m_model.Cell(c, Model::Host), QStringLiteral("-"));
    for (int column = Model::NickName; column < Model::ColumnCount; ++column)
        EXPECT_EQ(m_model.Cell(a, static_cast<Model::Column>(column)), QStringLiteral("-"));

    // An update by id lands on the row it was made for, wherever that row now is.
    std::vector<QModelIndex> changed;
    QObject::connect(&m_model, &QAbstractItemModel::dataChanged, &m_model,
                     [&](const QModelIndex& from, const QModelIndex&) { changed.push_back(from); });
    m_model.SetCell(a, Model::Status, QStringLiteral("Transferring"));
    EXPECT_EQ(m_model.data(m_model.index(2, Model::Status)).toString(),
              QStringLiteral("Transferring"));
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed.front().row(), 2);
    // Setting the same text again is no change.
    m_model.SetCell(a, Model::Status, QStringLiteral("Transferring"));
    EXPECT_EQ(changed.size(), 1u);

    EXPECT_TRUE(m_model.IsActive(0));
    EXPECT_FALSE(m_model.IsActive(1));
    EXPECT_EQ(m_model.TransferAt(2), &first);
    EXPECT_EQ(m_model.data(m_model.index(1, 0), Model::RowIdRole).value<quint64>(), b);
}

TEST_F(TransferListModelTest, DetachKeepsTextsAndIconAndEndsActivity)
{
    QObject transfer;
    const Model::RowId id = m_model.InsertTop(&transfer, QStringLiteral("pc1"));
    m_model.SetCell(id, Model::Status, QStringLiteral("Completed"));
    m_model.SetStateIcon(id, Model::IconReceiveCompleted);
    m_model.SetFileIcon(id, QStringLiteral("folder"));
    EXPECT_TRUE(m_model.data(m_model.index(0, 0), Model::ActiveRole).toBool());

    m_model.Detach(id);
    EXPECT_FALSE(m_model.data(m_model.index(0, 0), Model::ActiveRole).toBool());
    EXPECT_EQ(m_model.TransferAt(0), nullptr);
    EXPECT_EQ(m_model.Cell(id, Model::Host), QStringLiteral("pc1"));
    EXPECT_EQ(m_model.Cell(id, Model::Status), QStringLiteral("Completed"));
    EXPECT_EQ(m_model.StateIcon(id), Model::IconReceiveCompleted);
    EXPECT_EQ(m_model.FileIcon(id), QStringLiteral("folder"));
    EXPECT_TRUE(m_model.Contains(id));
}

TEST_F(TransferListModelTest, AttachLinksARowInsertedBeforeItsTransfer)
{
    const Model::RowId id = m_model.InsertTop(nullptr, QStringLiteral("N/A"));
    EXPECT_FALSE(m_model.IsActive(0));
    QObject transfer;
    m_model.Attach(id, &transfer);
    EXPECT_TRUE(m_model.IsActive(0));
    EXPECT_EQ(m_model.TransferAt(0), &transfer);
}

TEST_F(TransferListModelTest, ClearInactiveRemovesExactlyTheInactiveRowsInOrder)
{
    std::vector<std::unique_ptr<QObject>> transfers;
    std::vector<Model::RowId> activeIds; // top first
    // Seven rows, alternately inactive and active from the bottom, plus a transfer that was
    // destroyed without reporting its closing.
    for (int i = 0; i < 7; ++i) {
        QObject* transfer = nullptr;
        if (i % 2 == 1) {
            transfers.push_back(std::make_unique<QObject>());
            transfer = transfers.back().get();
        }
        const Model::RowId id = m_model.InsertTop(transfer, QString::number(i));
        if (transfer)
            activeIds.insert(activeIds.begin(), id);
    }
    QObject* vanishing = new QObject;
    m_model.InsertTop(vanishing, QStringLiteral("gone"));
    delete vanishing;

    EXPECT_EQ(m_model.ActiveTransfers().size(), 3u);
    m_model.ClearInactive();
    ASSERT_EQ(m_model.rowCount(), 3);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(m_model.IdAt(row), activeIds[static_cast<std::size_t>(row)]);
        EXPECT_TRUE(m_model.IsActive(row));
    }
    EXPECT_EQ(m_model.Cell(activeIds[0], Model::Host), QStringLiteral("5"));
    const std::vector<QObject*> active = m_model.ActiveTransfers();
    ASSERT_EQ(active.size(), 3u);
    EXPECT_EQ(active[0], transfers[2].get());
    EXPECT_EQ(active[2], transfers[0].get());

    // Nothing inactive left: nothing changes.
    m_model.ClearInactive();
    EXPECT_EQ(m_model.rowCount(), 3);
}

TEST(TransferListModelFinished, FinishedRoleFollowsTheIconPerList)
{
    struct Case
    {
        Model::Kind kind;
        Model::IconSlot icon;
        bool finished;
    };
    const Case cases[] = {
        {Model::Kind::Downloads, Model::IconStopped, true},
        {Model::Kind::Downloads, Model::IconReceiveCompleted, true},
        {Model::Kind::Downloads, Model::IconDropped, true},
        {Model::Kind::Downloads, Model::IconTransferring, false},
        {Model::Kind::Downloads, Model::IconCompressing, false},
        {Model::Kind::Downloads, Model::IconSendCompleted, false},
        {Model::Kind::Downloads, Model::NoIcon, false},
        {Model::Kind::Uploads, Model::IconSendCompleted, true},
        {Model::Kind::Uploads, Model::IconStopped, true},
        {Model::Kind::Uploads, Model::IconWaiting, false},
        {Model::Kind::Uploads, Model::IconTransferring, false},
        {Model::Kind::Uploads, Model::IconCompressing, false},
        {Model::Kind::Uploads, Model::IconReceiveCompleted, false},
        {Model::Kind::Uploads, Model::IconDropped, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << (c.kind == Model::Kind::Downloads ? "DOWNLOADS" : "UPLOADS") << " icon "
                     << c.icon);
        Model model(c.kind);
        const Model::RowId id = model.InsertTop(nullptr);
        bool rowRepainted = false;
        QObject::connect(&model, &QAbstractItemModel::dataChanged, &model,
                         [&](const QModelIndex& from, const QModelIndex& to) {
                             rowRepainted =
                                 from.column() == 0 && to.column() == Model::ColumnCount - 1;
                         });
        model.SetStateIcon(id, c.icon);
        EXPECT_EQ(model.data(model.index(0, Model::Status), Model::FinishedRole).toBool(),
                  c.finished);
        EXPECT_EQ(model.data(model.index(0, 0), Model::StateIconRole).toInt(), c.icon);
        EXPECT_EQ(rowRepainted, c.icon != Model::NoIcon); // the initial icon: no change
    }
}

} // namespace
} // namespace vantrel
