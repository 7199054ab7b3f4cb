#pragma once
// Ordered name/content list (report header, sections, additional fields)
// and the list of additional attachments. Both are thread-safe and report
// every change through an optional callback, so that their owner (the
// exception object or a settings object) learns of it.
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace ruvex {

// Removes leading and trailing characters with codes 0 to 32.
std::u16string_view TrimBlanks(std::u16string_view text);

// Holds a list's change callback. A callback runs under this holder's own
// lock, so once Set() or Clear() returns, the previous callback is not
// running and never runs again: an owner that clears it on destruction is
// safe from late calls on other threads. A callback may change the list it
// watches (the lock is recursive); whoever clears must not hold a lock the
// callback takes.
class TChangeNotifier {
 public:
  void Set(std::function<void()> callback);
  void Clear() { Set(nullptr); }
  void Notify();

 private:
  std::recursive_mutex lock_;
  std::function<void()> callback_;
};

class IREFields {
 public:
  virtual ~IREFields() = default;
  // An update bracket: the list stays locked for this thread, and all
  // changes made inside produce one notification when the outermost
  // bracket closes.
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
  virtual int GetItemCount() const = 0;
  // The name at index; empty when out of range.
  virtual std::u16string GetItem(int index) const = 0;
  // Renames the entry at index.
  virtual void SetItem(int index, std::u16string_view name) = 0;
  // Index of the first entry of that name (case-insensitive), -1 if none.
  virtual int FindItem(std::u16string_view name) const = 0;
  virtual std::u16string GetContent(std::u16string_view name) const = 0;
  // The content at index; empty when out of range.
  virtual std::u16string GetContentAt(int index) const = 0;
  // Trims the content; an empty content deletes the entry. A new name goes
  // in at the add index when there is one, else at the end.
  virtual void SetContent(std::u16string_view name, std::u16string_view content) = 0;
  void Add(std::u16string_view name, std::u16string_view content) { SetContent(name, content); }
  // Clamps index to 0..count; an entry of that name moves there.
  virtual void Insert(int index, std::u16string_view name, std::u16string_view content) = 0;
  virtual bool Delete(int index) = 0;
  virtual bool Delete(std::u16string_view name) = 0;
  virtual std::shared_ptr<IREFields> Clone() const = 0;
};

class IREFieldsEx {
 public:
  virtual ~IREFieldsEx() = default;
  // The owner (exception or settings object) goes away: no more calls.
  virtual void ClearExcParent() = 0;
  virtual void ClearMesParent() = 0;
  // Where new names go in (0: at the end; at most the count).
  virtual void SetAddIndex(int index) = 0;
  // SetContent and Insert are ignored until data is accepted.
  virtual void AcceptData(bool accept) = 0;
};

class TIREFields final : public IREFields, public IREFieldsEx {
 public:
  using TItem = std::pair<std::u16string, std::u16string>;
  // Lists that their owner fills accept data from the start; others are
  // created closed and opened with AcceptData.
  explicit TIREFields(bool acceptData = true) : acceptData_(acceptData) {}

  void Lock() override;
  void Unlock() override;
  int GetItemCount() const override;
  std::u16string GetItem(int index) const override;
  void SetItem(int index, std::u16string_view name) override;
  int FindItem(std::u16string_view name) const override;
  std::u16string GetContent(std::u16string_view name) const override;
  std::u16string GetContentAt(int index) const override;
  void SetContent(std::u16string_view name, std::u16string_view content) override;
  void Insert(int index, std::u16string_view name, std::u16string_view content) override;
  bool Delete(int index) override;
  bool Delete(std::u16string_view name) override;
  std::shared_ptr<IREFields> Clone() const override;

  void ClearExcParent() override { notifier_.Clear(); }
  void ClearMesParent() override { notifier_.Clear(); }
  void SetAddIndex(int index) override;
  void AcceptData(bool accept) override;
  // Where the next new name goes in; -1: at the end.
  int AddIndex() const;

  std::vector<TItem> Items() const;
  // Replaces all items as they are (untrimmed, empty contents kept) without
  // reporting a change: the list read back from a stored text.
  void Load(std::vector<TItem> items);
  // The owner's change callback; see TChangeNotifier for its lifetime.
  void SetOnChange(std::function<void()> onChange) { notifier_.Set(std::move(onChange)); }

 private:
  using THold = std::unique_lock<std::recursive_mutex>;
  int FindLocked(std::u16string_view name) const;
  void DeleteLocked(int index);
  void InsertLocked(int index, std::u16string name, std::u16string content);
  // Releases the hold, then notifies unless an update bracket is open.
  void Changed(THold& hold);

  mutable std::recursive_mutex lock_;
  std::vector<TItem> items_;
  // Kept as a position (-1: at the end) so that deleting the entries above
  // it never turns it into "append".
  int addIndex_ = -1;
  bool acceptData_;
  int bracketDepth_ = 0;  // update brackets open on the locking thread
  bool changedInBracket_ = false;
  TChangeNotifier notifier_;
};

struct TREAttachment {
  std::u16string originalFile, sendAsFileName, zipFile, fieldName;
  bool operator==(const TREAttachment&) const = default;
};

class IREAttachments {
 public:
  virtual ~IREAttachments() = default;
  virtual int Count() const = 0;
  virtual TREAttachment Item(int index) const = 0;
  // An empty originalFile is ignored. An empty sendAsFileName becomes the
  // file name of originalFile; an empty fieldName becomes sendAsFileName
  // without its last extension.
  virtual void Add(std::u16string originalFile, std::u16string sendAsFileName = {},
                   std::u16string zipFile = {}, std::u16string fieldName = {}) = 0;
  virtual bool Delete(int index) = 0;
  // Removes the first item of that original file (case-insensitive).
  virtual bool Delete(std::u16string_view originalFile) = 0;
  virtual void Clear() = 0;
  // The same items in a list of no owner.
  virtual std::shared_ptr<IREAttachments> Clone() const = 0;
};

class TIREAttachments : public IREAttachments {
 public:
  int Count() const override;
  TREAttachment Item(int index) const override;
  void Add(std::u16string originalFile, std::u16string sendAsFileName = {},
           std::u16string zipFile = {}, std::u16string fieldName = {}) override;
  bool Delete(int index) override;
  bool Delete(std::u16string_view originalFile) override;
  void Clear() override;
  std::shared_ptr<IREAttachments> Clone() const override;

  std::vector<TREAttachment> Items() const;
  void Load(std::vector<TREAttachment> items);
  void SetOnChange(std::function<void()> onChange) { notifier_.Set(std::move(onChange)); }

 private:
  void Changed(std::unique_lock<std::mutex>& hold);
  mutable std::mutex lock_;
  std::vector<TREAttachment> items_;
  TChangeNotifier notifier_;
};

}  // namespace ruvex
