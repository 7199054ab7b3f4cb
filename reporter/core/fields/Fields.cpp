#include "reporter/core/fields/Fields.h"

#include "common/text/Windows1252.h"
#include "common/text/FileNames.h"

namespace ruvex {

using kelvane::EqualsIgnoreCase;
using kelvane::FileNameOf;

// The callback runs outside the list's lock: it reads the list back.
void TIREFields::Changed(std::unique_lock<std::mutex>& hold) {
  auto onChange = onChange_;
  hold.unlock();
  if (onChange) onChange();
}

int TIREFields::Count() const {
  std::lock_guard<std::mutex> hold(lock_);
  return static_cast<int>(items_.size());
}

std::u16string TIREFields::Name(int index) const {
  std::lock_guard<std::mutex> hold(lock_);
  return index >= 0 && index < int(items_.size()) ? items_[index].first : std::u16string();
}

std::u16string TIREFields::Content(int index) const {
  std::lock_guard<std::mutex> hold(lock_);
  return index >= 0 && index < int(items_.size()) ? items_[index].second : std::u16string();
}

int TIREFields::Find(std::u16string_view name) const {
  std::lock_guard<std::mutex> hold(lock_);
  for (size_t i = 0; i < items_.size(); ++i)
    if (EqualsIgnoreCase(items_[i].first, name)) return static_cast<int>(i);
  return -1;
}

void TIREFields::Add(std::u16string name, std::u16string content) {
  std::unique_lock<std::mutex> hold(lock_);
  items_.emplace_back(std::move(name), std::move(content));
  Changed(hold);
}

void TIREFields::Set(std::u16string_view name, std::u16string content) {
  std::unique_lock<std::mutex> hold(lock_);
  for (auto& item : items_)
    if (EqualsIgnoreCase(item.first, name)) {
      item.second = std::move(content);
      Changed(hold);
      return;
    }
  items_.emplace_back(std::u16string(name), std::move(content));
  Changed(hold);
}

bool TIREFields::Delete(int index) {
  std::unique_lock<std::mutex> hold(lock_);
  if (index < 0 || index >= int(items_.size())) return false;
  items_.erase(items_.begin() + index);
  Changed(hold);
  return true;
}

void TIREFields::Clear() {
  std::unique_lock<std::mutex> hold(lock_);
  items_.clear();
  Changed(hold);
}

std::vector<TIREFields::TItem> TIREFields::Items() const {
  std::lock_guard<std::mutex> hold(lock_);
  return items_;
}

void TIREFields::Load(std::vector<TItem> items) {
  std::lock_guard<std::mutex> hold(lock_);
  items_ = std::move(items);
}

void TIREFields::SetOnChange(std::function<void()> onChange) {
  std::lock_guard<std::mutex> hold(lock_);
  onChange_ = std::move(onChange);
}

void TIREAttachments::Changed(std::unique_lock<std::mutex>& hold) {
  auto onChange = onChange_;
  hold.unlock();
  if (onChange) onChange();
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

void TIREAttachments::SetOnChange(std::function<void()> onChange) {
  std::lock_guard<std::mutex> hold(lock_);
  onChange_ = std::move(onChange);
}

}  // namespace ruvex
