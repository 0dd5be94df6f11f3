#pragma once

#include <QWidget>

namespace vantrel {

class DotMatrixDisplay;
class UserDialogs;

// "Credits": the program's icon and version, the maker's address as a link, and the credits
// scrolling on a dot-matrix display while the page is on screen.
class CreditsPage : public QWidget
{
    Q_OBJECT
public:
    CreditsPage(const QString& versionText, UserDialogs& dialogs, QWidget* parent = nullptr);

    DotMatrixDisplay* display() const { return m_display; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    UserDialogs& m_dialogs;
    DotMatrixDisplay* m_display = nullptr;
};

} // namespace vantrel
