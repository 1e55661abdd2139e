#pragma once
// Row-change notifications. A listener registers under a unique name with
// the tables it cares about, the kind of change it wants and a callback;
// every row insertion, value change and deletion in a table sends a
// notification, and each matching listener's callback receives a snapshot
// of the row, synchronously, on the thread that changed it. Registration is
// meant to happen before the tables are used: the listener list takes no
// lock of its own, and a callback must not change the table it is told about.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/date_time.h"
#include "store/stored_value.h"
#include "store/vector.h"

namespace kv {

struct IMDSNotification {
  std::string tableName;
  // Copies of the row's values (null: NULL) in column order, their lengths
  // and the row's state.
  std::vector<OwnedValue> values;
  std::vector<std::int32_t> lengths;
  std::uint8_t state = 0;
  TarnDateTime timeStamp{};

  StoredValue Value(std::size_t column) const {
    return column < values.size() ? StoredValue{values[column].get(), lengths[column]} : StoredValue{};
  }
};

using NotificationCallback = std::function<void(const IMDSNotification& notification, const char* listenerName)>;

// Event type 0: every change.
constexpr std::uint8_t NOTIFY_EVERY_CHANGE = 0;

struct NotificationListener {
  std::string name;
  // Sorted ascending without regard to case when the listener is added.
  std::vector<std::string> tables;
  std::uint8_t enabled = 1;
  // 0, or a row state (1 persisted, 2 new, 4 modified, 8 deleted).
  std::uint8_t eventType = NOTIFY_EVERY_CHANGE;
  NotificationCallback callback;
};

struct NotificationState {
  VectorOf<NotificationListener> listeners;
};

NotificationState& Notifications();

// Empties the listener list.
void InitNotification();
// Adds a listener; true also when one of that name (any case) exists, which
// is kept as it is (logged). False when memory runs out.
[[nodiscard]] bool AddNotificationListener(const char* name, std::uint8_t eventType, NotificationCallback callback,
                             std::uint8_t enabled, std::vector<std::string> tables);
// Clear the enabled byte of, or remove, the listener of a name (any case);
// false when there is none.
[[nodiscard]] bool DisableNotification(const char* name);
[[nodiscard]] bool RemoveNotification(const char* name);
// Tells the listeners of the table about a row that changed.
void SendNotification(const RowView& row, const char* tableName);
// Removes every listener.
void DeInitNotification();

// The snapshot sent for a row: null when the table has no definition or
// memory runs out.
std::unique_ptr<IMDSNotification> CreateIMDSNotification(const RowView& row, const char* tableName);
// True when name occurs (any case) in names sorted without regard to case.
[[nodiscard]] bool IsListContains(const std::vector<std::string>& sortedNames, const char* name);

}  // namespace kv
