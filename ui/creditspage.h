#pragma once

#include <QStringList>
#include <QUrl>
#include <QWidget>

class QLabel;

namespace vantrel {

class DotMatrixDisplay;
class UserDialogs;

// "Credits": the program's icon and version, the maker's address as a link, and the credits
// scrolling on a dot-matrix display while the page is on screen.
class CreditsPage : public QWidget
{
    Q_OBJECT
public:
    static inline const QUrl MakerAddress{QStringLiteral("https://vantrel.example/")};

    CreditsPage(const QString& versionText, UserDialogs& dialogs, QWidget* parent = nullptr);

    DotMatrixDisplay* display() const { return m_display; }
    QLabel* versionLabel() const { return m_version; }
    QLabel* linkLabel() const { return m_link; }

    // The 39 lines that scroll on the display.
    static QStringList CreditLines();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    UserDialogs& m_dialogs;
    QLabel* m_version = nullptr;
    QLabel* m_link = nullptr;
    DotMatrixDisplay* m_display = nullptr;
};

} // namespace vantrel
