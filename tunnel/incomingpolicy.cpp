#include "tunnel/incomingpolicy.h"

#include "net/securechannel.h"

#include "core/base/settingsstore.h"

namespace vantrel {

namespace {

const QString ModeValue = QStringLiteral("TunPolicy");

QString HostValue(int position)
{
    return QString::asprintf("AHost%02d", position);
}


PolicyMode ModeFromText(const QString& text)
{
    if (text.isEmpty() || text == QLatin1String("1"))
        return PolicyMode::AcceptAll;
    if (text == QLatin1String("2"))
        return PolicyMode::DenyAll;
    if (text == QLatin1String("3"))
        return PolicyMode::AcceptOnly;
    return PolicyMode::AcceptExcept;
}

} // namespace

IncomingPolicy::IncomingPolicy() : m_state(std::make_shared<const State>()) {}

std::shared_ptr<const IncomingPolicy::State> IncomingPolicy::Snapshot() const
{
    std::lock_guard lock(m_mutex);
    return m_state;
}

void IncomingPolicy::Publish(std::shared_ptr<const State> state)
{
    std::lock_guard lock(m_mutex);
    m_state = std::move(state);
}

bool IncomingPolicy::Allows(const QString& peerName, std::uint32_t ipv4HostOrder) const
{
    // One copy from start to answer: edits made meanwhile apply to the next connection.
    const std::shared_ptr<const State> state = Snapshot();
    if (state->mode == PolicyMode::AcceptAll)
        return true;
    if (state->mode == PolicyMode::DenyAll)
        return false;
    const QString dotted = SecureChannel::DottedAddress(ipv4HostOrder);
    bool listed = false;
    for (const QString& host : state->hosts) {
        if (host == dotted || host == peerName) {
            listed = true;
            break;
        }
    }
    return state->mode == PolicyMode::AcceptOnly ? listed : !listed;
}

PolicyMode IncomingPolicy::mode() const
{
    return Snapshot()->mode;
}

QStringList IncomingPolicy::hosts() const
{
    return Snapshot()->hosts;
}

// Edits copy the current state and publish the copy under the lock, so that two edits never
// lose each other's change and a running check keeps the copy it started with.
void IncomingPolicy::SetMode(PolicyMode mode)
{
    std::lock_guard lock(m_mutex);
    auto next = std::make_shared<State>(*m_state);
    next->mode = mode;
    m_state = std::move(next);
}

int IncomingPolicy::AddHost()
{
    std::lock_guard lock(m_mutex);
    auto next = std::make_shared<State>(*m_state);
    next->hosts.append(NewHostText);
    const int index = static_cast<int>(next->hosts.size()) - 1;
    m_state = std::move(next);
    return index;
}

void IncomingPolicy::AddHost(const QString& text)
{
    // An entry is never empty.
    if (text.isEmpty())
        return;
    std::lock_guard lock(m_mutex);
    auto next = std::make_shared<State>(*m_state);
    next->hosts.append(text);
    m_state = std::move(next);
}

void IncomingPolicy::RemoveHost(int index)
{
    std::lock_guard lock(m_mutex);
    if (index < 0 || index >= m_state->hosts.size())
        return;
    auto next = std::make_shared<State>(*m_state);
    next->hosts.removeAt(index);
    m_state = std::move(next);
}

bool IncomingPolicy::EditHost(int index, const QString& text)
{
    std::lock_guard lock(m_mutex);
    if (text.isEmpty() || index < 0 || index >= m_state->hosts.size() ||
        m_state->hosts.at(index) == text)
        return false;
    auto next = std::make_shared<State>(*m_state);
    next->hosts[index] = text;
    m_state = std::move(next);
    return true;
}

void IncomingPolicy::Load(SettingsStore& store)
{
    const QString& key = SettingsStore::PolicyKey;
    auto state = std::make_shared<State>();
    state->mode = ModeFromText(store.ReadString(key, ModeValue));
    for (int position = 1;; ++position) {
        const QString text = store.ReadString(key, HostValue(position));
        if (text.isEmpty())
            break;
        state->hosts.append(text);
    }
    Publish(std::move(state));
}

void IncomingPolicy::Save(SettingsStore& store) const
{
    const QString& key = SettingsStore::PolicyKey;
    const std::shared_ptr<const State> state = Snapshot();
    QList<QPair<QString, QString>> values;
    values.append({ModeValue, QString::number(static_cast<int>(state->mode))});
    const int count = static_cast<int>(state->hosts.size());
    for (int i = 0; i < count; ++i)
        values.append({HostValue(i + 1), state->hosts.at(i)});
    store.WriteValues(key, values);
    // Only the value just past the list: higher numbers are never read after this gap.
    store.Delete(key, HostValue(count + 1));
}

} // namespace vantrel
