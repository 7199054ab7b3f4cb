#include "reporter/core/startup/ThreadList.h"

#include <cstdio>

#include "common/text/Utf.h"

namespace ruvex {
namespace {

std::u16string IdText(std::uint32_t id) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "$%x", static_cast<unsigned>(id));
  return kelvane::U16(buf);
}

bool IsReporterThreadName(std::u16string_view name) {
  return name == u"-" || name == u"RuvexExcept - AntiFreezeThread" ||
         name == u"RuvexExcept - HandleExceptionThread" || name == u"RuvexExcept - TraceProcessThread";
}

}  // namespace

TThreadList::~TThreadList() {
  for (auto& e : entries_)
    if (e.threadHandle && handles_.close) handles_.close(e.threadHandle);
}

TThreadEntry& TThreadList::Ensure(std::uint32_t threadId) {
  for (auto& e : entries_)
    if (e.threadId == threadId) return e;
  entries_.push_back({});
  entries_.back().threadId = threadId;
  return entries_.back();
}

void TThreadList::Erase(size_t index) {
  if (entries_[index].threadHandle && handles_.close) handles_.close(entries_[index].threadHandle);
  entries_.erase(entries_.begin() + index);
}

void TThreadList::Changed() {
  if (!purgingSuspended_) PurgeOneEnded();
}

void TThreadList::SetName(std::uint32_t threadId, std::u16string name, std::uintptr_t handle) {
  TThreadEntry& e = Ensure(threadId);
  e.name = std::move(name);
  if (handle) {
    if (e.threadHandle && handles_.close) handles_.close(e.threadHandle);
    e.threadHandle = handle;
  }
  if (e.name.empty() && e.className.empty() && !e.creatorAddress && !e.creatorThreadId)
    Remove(threadId);
  else
    Changed();
}

void TThreadList::SetCreator(std::uint32_t threadId, std::uintptr_t handle, std::uint32_t creatorThreadId,
                             std::uintptr_t creatorAddress, std::u16string className) {
  TThreadEntry& e = Ensure(threadId);
  if (handle) {
    if (e.threadHandle && handles_.close) handles_.close(e.threadHandle);
    e.threadHandle = handle;
  }
  e.creatorThreadId = creatorThreadId;
  e.creatorAddress = creatorAddress;
  e.className = std::move(className);
  Changed();
}

void TThreadList::Remove(std::uint32_t threadId) {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].threadId == threadId) {
      Erase(i);
      break;
    }
  Changed();
}

std::optional<TThreadEntry> TThreadList::Find(std::uint32_t threadId) const {
  for (const auto& e : entries_)
    if (e.threadId == threadId) return e;
  return std::nullopt;
}

void TThreadList::PurgeOneEnded() {
  if (!handles_.hasEnded) return;
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].threadHandle && handles_.hasEnded(entries_[i].threadHandle)) {
      Erase(i);
      return;
    }
}

TThreadDescription DescribeThread(std::uint32_t threadId, const std::optional<TThreadEntry>& entry,
                                  bool registryAvailable, bool force) {
  TThreadDescription d;
  if (!registryAvailable) {
    d.text = u"thread " + IdText(threadId);
    return d;
  }
  if (entry) {
    d.creatorAddress = entry->creatorAddress;
    d.creatorThreadId = entry->creatorThreadId;
    if (!force && IsReporterThreadName(entry->name)) return d;
    if (!entry->name.empty() && entry->name != u"-") {
      d.text = entry->name + u" (" + IdText(threadId) + u")";
      return d;
    }
  }
  d.text = u"thread " + IdText(threadId);
  if (entry && !entry->className.empty()) d.text += u" (" + entry->className + u")";
  return d;
}

std::optional<TThreadNaming> ParseThreadNamingException(
    std::uint32_t code, const std::uintptr_t* information, std::size_t count, std::uint32_t raisingThreadId,
    const std::function<std::optional<std::string>(std::uintptr_t)>& readText) {
  if (code != kThreadNamingException || !information || count < 4) return std::nullopt;
  if ((information[0] & 0xFFFFFFFFu) != 0x1000 || (information[3] & 0xFFFFFFFFu) != 0) return std::nullopt;
  auto name = information[1] ? readText(information[1]) : std::optional<std::string>("");
  if (!name) return std::nullopt;
  std::uint32_t id = static_cast<std::uint32_t>(information[2]);
  return TThreadNaming{id == 0xFFFFFFFFu ? raisingThreadId : id, kelvane::Utf8ToUtf16(*name)};
}

}  // namespace ruvex
