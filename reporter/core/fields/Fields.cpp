#include "reporter/core/fields/Fields.h"

#include <algorithm>

#include "common/text/Windows1252.h"
#include "common/text/FileNames.h"

namespace ruvex {

using kelvane::EqualsIgnoreCase;
using kelvane::FileNameOf;

std::u16string_view TrimBlanks(std::u16string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && text[begin] <= 32) ++begin;
  while (end > begin && text[end - 1] <= 32) --end;
  return text.substr(begin, end - begin);
}

void TChangeNotifier::Set(std::function<void()> callback) {
  std::function<void()> previous;
  {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    previous.swap(callback_);
    callback_ = std::move(callback);
  }
  // The old callback's captures are released outside the lock.
}

void TChangeNotifier::Notify() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (callback_) callback_();
}

void TIREFields::Changed(THold& hold) {
  if (bracketDepth_ > 0) {
    changedInBracket_ = true;
    return;
  }
  // The callback runs outside the list's lock: it reads the list back.
  hold.unlock();
  notifier_.Notify();
}

void TIREFields::Lock() {
  lock_.lock();
  ++bracketDepth_;
}

void TIREFields::Unlock() {
  THold hold(lock_);
  if (bracketDepth_ == 0) return;  // unbalanced: nothing to close
  lock_.unlock();                  // the hold taken by Lock()
  if (--bracketDepth_ > 0 || !changedInBracket_) return;
  changedInBracket_ = false;
  hold.unlock();
  notifier_.Notify();
}

int TIREFields::GetItemCount() const {
  THold hold(lock_);
  return static_cast<int>(items_.size());
}

std::u16string TIREFields::GetItem(int index) const {
  THold hold(lock_);
  return index >= 0 && index < int(items_.size()) ? items_[index].first : std::u16string();
}

void TIREFields::SetItem(int index, std::u16string_view name) {
  THold hold(lock_);
  if (index < 0 || index >= int(items_.size()) || name.empty() || items_[index].first == name) return;
  items_[index].first = std::u16string(name);
  Changed(hold);
}

int TIREFields::FindLocked(std::u16string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (EqualsIgnoreCase(items_[i].first, name)) return static_cast<int>(i);
  return -1;
}

int TIREFields::FindItem(std::u16string_view name) const {
  THold hold(lock_);
  return FindLocked(name);
}

std::u16string TIREFields::GetContent(std::u16string_view name) const {
  THold hold(lock_);
  const int index = FindLocked(name);
  return index >= 0 ? items_[index].second : std::u16string();
}

std::u16string TIREFields::GetContentAt(int index) const {
  THold hold(lock_);
  return index >= 0 && index < int(items_.size()) ? items_[index].second : std::u16string();
}

void TIREFields::DeleteLocked(int index) {
  items_.erase(items_.begin() + index);
  if (index < addIndex_) --addIndex_;
}

void TIREFields::InsertLocked(int index, std::u16string name, std::u16string content) {
  items_.insert(items_.begin() + index, TItem(std::move(name), std::move(content)));
  if (addIndex_ >= 0 && index <= addIndex_) ++addIndex_;
}

void TIREFields::SetContent(std::u16string_view name, std::u16string_view content) {
  THold hold(lock_);
  if (!acceptData_) return;
  const std::u16string_view value = TrimBlanks(content);
  const int index = FindLocked(name);
  if (value.empty()) {
    if (index < 0) return;
    DeleteLocked(index);
  } else if (index >= 0) {
    TItem& item = items_[index];
    if (item.first == name && item.second == value) return;
    item = TItem(name, value);
  } else {
    const int count = static_cast<int>(items_.size());
    const int at = addIndex_ >= 0 && addIndex_ <= count ? addIndex_ : count;
    InsertLocked(at, std::u16string(name), std::u16string(value));
  }
  Changed(hold);
}

void TIREFields::Insert(int index, std::u16string_view name, std::u16string_view content) {
  THold hold(lock_);
  if (!acceptData_) return;
  const std::u16string_view value = TrimBlanks(content);
  index = std::clamp(index, 0, static_cast<int>(items_.size()));
  const int existing = FindLocked(name);
  if (existing >= 0) {
    const int target = existing < index ? index - 1 : index;
    const TItem& item = items_[existing];
    if (target == existing && item.first == name && item.second == value) return;
    DeleteLocked(existing);
    index = target;
  } else if (value.empty()) {
    return;
  }
  // Like SetContent, an empty content leaves no entry behind.
  if (!value.empty()) InsertLocked(index, std::u16string(name), std::u16string(value));
  Changed(hold);
}

bool TIREFields::Delete(int index) {
  THold hold(lock_);
  if (index < 0 || index >= int(items_.size())) return false;
  DeleteLocked(index);
  Changed(hold);
  return true;
}

bool TIREFields::Delete(std::u16string_view name) {
  THold hold(lock_);
  const int index = FindLocked(name);
  if (index < 0) return false;
  DeleteLocked(index);
  Changed(hold);
  return true;
}

std::shared_ptr<IREFields> TIREFields::Clone() const {
  THold hold(lock_);
  auto copy = std::make_shared<TIREFields>(acceptData_);
  copy->items_ = items_;
  copy->addIndex_ = addIndex_;
  return copy;
}

void TIREFields::SetAddIndex(int index) {
  THold hold(lock_);
  addIndex_ = index >= 1 ? std::min(index, static_cast<int>(items_.size())) : -1;
}

void TIREFields::AcceptData(bool accept) {
  THold hold(lock_);
  acceptData_ = accept;
}

int TIREFields::AddIndex() const {
  THold hold(lock_);
  return addIndex_;
}

std::vector<TIREFields::TItem> TIREFields::Items() const {
  THold hold(lock_);
  return items_;
}

void TIREFields::Load(std::vector<TItem> items) {
  THold hold(lock_);
  items_ = std::move(items);
  addIndex_ = -1;
}

void TIREAttachments::Changed(std::unique_lock<std::mutex>& hold) {
  hold.unlock();
  notifier_.Notify();
}

int TIREAttachments::Count() const {
  std::lock_guard<std::mutex> hold(lock_);
  return static_cast<int>(items_.size());
}

TREAttachment TIREAttachments::Item(int index) const {
  std::lock_guard<std::mutex> hold(lock_);
  return index >= 0 && index < int(items_.size()) ? items_[index] : TREAttachment{};
}

void TIREAttachments::Add(std::u16string originalFile, std::u16string sendAsFileName,
                          std::u16string zipFile, std::u16string fieldName) {
  if (originalFile.empty()) return;
  if (sendAsFileName.empty()) sendAsFileName = FileNameOf(originalFile);
  if (fieldName.empty()) {
    size_t dot = sendAsFileName.rfind(u'.');
    fieldName = dot == std::u16string::npos ? sendAsFileName : sendAsFileName.substr(0, dot);
  }
  std::unique_lock<std::mutex> hold(lock_);
  items_.push_back({std::move(originalFile), std::move(sendAsFileName), std::move(zipFile), std::move(fieldName)});
  Changed(hold);
}

bool TIREAttachments::Delete(int index) {
  std::unique_lock<std::mutex> hold(lock_);
  if (index < 0 || index >= int(items_.size())) return false;
  items_.erase(items_.begin() + index);
  Changed(hold);
  return true;
}

bool TIREAttachments::Delete(std::u16string_view originalFile) {
  std::unique_lock<std::mutex> hold(lock_);
  auto it = std::find_if(items_.begin(), items_.end(), [originalFile](const TREAttachment& item) {
    return kelvane::EqualsIgnoreCase(item.originalFile, originalFile);
  });
  if (it == items_.end()) return false;
  items_.erase(it);
  Changed(hold);
  return true;
}

std::shared_ptr<IREAttachments> TIREAttachments::Clone() const {
  auto copy = std::make_shared<TIREAttachments>();
  copy->Load(Items());
  return copy;
}

void TIREAttachments::Clear() {
  std::unique_lock<std::mutex> hold(lock_);
  items_.clear();
  Changed(hold);
}

std::vector<TREAttachment> TIREAttachments::Items() const {
  std::lock_guard<std::mutex> hold(lock_);
  return items_;
}

void TIREAttachments::Load(std::vector<TREAttachment> items) {
  std::lock_guard<std::mutex> hold(lock_);
  items_ = std::move(items);
}

}  // namespace ruvex
