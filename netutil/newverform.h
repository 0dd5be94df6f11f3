#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QTextBrowser;

namespace vantrel {

class FeaturesPage;
class UserDialogs;

// "New Version Dectected": the notice of a version other than ours. It shows the version,
// the features page (fetched each time the notice is shown; empty without an address) and
// the download address, which is opened only when the user answers YES. The window exists
// for the whole run and is only shown and hidden.
class TNewVerQuery : public QDialog
{
    Q_OBJECT
public:
    TNewVerQuery(UserDialogs& dialogs, FeaturesPage& page, QWidget* parent = nullptr);

    // Fills the notice for `version` and shows it, modal; the features page starts loading.
    void ShowNewVersion(double version, const QString& downloadUrl, const QString& featuresUrl);

    double latestVersion() const { return m_version; }
    const QString& downloadUrl() const { return m_downloadUrl; }
    const QString& featuresUrl() const { return m_featuresUrl; }
    QTextBrowser* pageView() const { return m_page; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void OnYes();

    UserDialogs& m_dialogs;
    FeaturesPage& m_features;
    double m_version = 0;
    QString m_downloadUrl;
    QString m_featuresUrl;
    QLabel* m_versionLabel = nullptr;
    QLabel* m_address = nullptr;
    QTextBrowser* m_page = nullptr;
    QPushButton* m_yes = nullptr;
};

} // namespace vantrel
