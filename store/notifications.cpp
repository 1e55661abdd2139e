#include "store/notifications.h"

#include <new>
#include <utility>

#include "base/log_writer.h"
#include "store/data_dictionary.h"
#include "store/value_text.h"

namespace kv {
namespace {

NotificationListener* FindListener(const char* name) {
  if (!name) return nullptr;
  for (NotificationListener& listener : Notifications().listeners) {
    if (AsciiEqualsNoCase(listener.name, name)) return &listener;
  }
  return nullptr;
}

// The listener a caller names, or null with the message for a missing one.
NotificationListener* NamedListener(const char* name) {
  NotificationListener* listener = FindListener(name);
  if (!listener) LogError("Listener with name %s doesn't exists\n", LogText(name));
  return listener;
}

// For each position, the smallest of the names from there on is exchanged
// into it.
void ExchangeSort(std::vector<std::string>& names) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    for (std::size_t j = i + 1; j < names.size(); ++j) {
      if (SafeStrICmp(names[j].c_str(), names[i].c_str()) < 0) std::swap(names[i], names[j]);
    }
  }
}

// A listener for event type t hears a row whose state is t, possibly with
// the deleted, modified or persisted bit added.
bool WantsState(std::uint8_t eventType, std::uint8_t state) {
  if (eventType == NOTIFY_EVERY_CHANGE) return true;
  return state == eventType || state == (eventType | ROW_STATE_DELETED) || state == (eventType | ROW_STATE_MODIFIED) ||
         state == (eventType | ROW_STATE_IN_DATABASE);
}

}  // namespace

NotificationState& Notifications() {
  static NotificationState state;
  return state;
}

void InitNotification() { Notifications().listeners.Clear(); }

bool AddNotificationListener(const char* name, std::uint8_t eventType, NotificationCallback callback,
                             std::uint8_t enabled, std::vector<std::string> tables) {
  LogTrace("In Add notification Listener\n");
  NotificationState& state = Notifications();
  if (!state.listeners.Empty() && FindListener(name)) {
    LogError("Listener with same name exists %s\n", LogText(name));
    return true;
  }
  std::unique_ptr<NotificationListener> listener(new (std::nothrow) NotificationListener);
  try {
    if (!listener) throw std::bad_alloc();
    listener->name = name ? name : "";
    listener->tables = std::move(tables);
    listener->callback = std::move(callback);
  } catch (const std::bad_alloc&) {
    LogError("Buffer Allocation is failed for listener!!!\n");
    return false;
  }
  listener->enabled = enabled;
  listener->eventType = eventType;
  ExchangeSort(listener->tables);
  const NotificationListener* added = listener.get();
  if (!state.listeners.Append(std::move(listener))) {
    LogError("Buffer allocation is failed for nodePtr !!!\n");
    return false;
  }
  LogDebug("Listener with name %s added\n", added->name.c_str());
  return true;
}

bool DisableNotification(const char* name) {
  LogTrace("In Disable notification\n");
  NotificationListener* listener = NamedListener(name);
  if (!listener) return false;
  listener->enabled = 0;
  LogDebug("Listener with name %s disabled\n", listener->name.c_str());
  return true;
}

bool RemoveNotification(const char* name) {
  LogTrace("In Remove notification\n");
  NotificationListener* listener = NamedListener(name);
  if (!listener) return false;
  LogDebug("Listener with name %s removed\n", listener->name.c_str());
  (void)Notifications().listeners.Remove(listener);  // it is held: found by name above
  return true;
}

std::unique_ptr<IMDSNotification> CreateIMDSNotification(const RowView& row, const char* tableName) {
  LogTrace("In CreateIMDSNotification \n");
  const TableDefn* definition = GetTableDefn(tableName);
  if (!definition) return nullptr;
  std::unique_ptr<IMDSNotification> notification(new (std::nothrow) IMDSNotification);
  if (!notification) return nullptr;
  try {
    notification->tableName = tableName;
    const std::size_t columns = static_cast<std::size_t>(definition->columnCount());
    notification->values.resize(columns);
    notification->lengths.resize(columns, 0);
    for (std::size_t i = 0; i < columns && i < static_cast<std::size_t>(row.count); ++i) {
      const StoredValue& value = row.values[i];
      if (value.IsNull()) continue;
      notification->values[i] = CopyText(value.Bytes());
      if (!notification->values[i]) return nullptr;
      notification->lengths[i] = value.length;
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  notification->state = row.state;
  if (const std::optional<TarnDateTime> now = GetCurrentTarnDateTime()) notification->timeStamp = *now;
  return notification;
}

void SendNotification(const RowView& row, const char* tableName) {
  LogTrace("In send notification\n");
  NotificationState& state = Notifications();
  if (state.listeners.Empty()) return;
  const std::unique_ptr<IMDSNotification> notification = CreateIMDSNotification(row, tableName);
  if (!notification) return;
  for (const NotificationListener& listener : state.listeners) {
    if (!listener.enabled) {
      LogDebug("Listener %s  disabled\n", listener.name.c_str());
    } else if (!IsListContains(listener.tables, tableName)) {
      LogDebug("Listener not registered for %s table\n", tableName);
    } else if (!WantsState(listener.eventType, row.state)) {
      LogDebug("Listener not registered for Eventype %d\n", row.state);
    } else if (listener.callback) {
      listener.callback(*notification, listener.name.c_str());
    }
  }
}

void DeInitNotification() {
  LogTrace("In DeInit notification\n");
  NotificationState& state = Notifications();
  for (const NotificationListener& listener : state.listeners)
    LogTrace("Listener with name %s removed\n", listener.name.c_str());
  state.listeners.Clear();
}

bool IsListContains(const std::vector<std::string>& sortedNames, const char* name) {
  LogTrace("@@@ Inside IsListContains @@@\n");
  std::size_t low = 0;
  std::size_t high = sortedNames.size();
  while (name && low < high) {
    const std::size_t middle = low + (high - low) / 2;
    const int order = SafeStrICmp(sortedNames[middle].c_str(), name);
    if (order == 0) return true;
    if (order < 0)
      low = middle + 1;
    else
      high = middle;
  }
  LogDebug("List doesn't contains key \n");
  return false;
}

}  // namespace kv
