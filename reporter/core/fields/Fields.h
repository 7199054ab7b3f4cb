#pragma once
// Ordered name/content list (report header, sections, additional fields)
// and the list of additional attachments. Both are thread-safe and report
// every change through an optional callback, so a settings object can write
// the list back into its property.
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ruvex {

class IREFields {
 public:
  virtual ~IREFields() = default;
  virtual int Count() const = 0;
  virtual std::u16string Name(int index) const = 0;
  virtual std::u16string Content(int index) const = 0;
  // Index of the first item of that name (case-insensitive), -1 if none.
  virtual int Find(std::u16string_view name) const = 0;
  virtual void Add(std::u16string name, std::u16string content) = 0;
  // Replaces the content of the first item of that name, else adds one.
  virtual void Set(std::u16string_view name, std::u16string content) = 0;
  virtual bool Delete(int index) = 0;
  virtual void Clear() = 0;
};

class TIREFields : public IREFields {
 public:
  using TItem = std::pair<std::u16string, std::u16string>;
  int Count() const override;
  std::u16string Name(int index) const override;
  std::u16string Content(int index) const override;
  int Find(std::u16string_view name) const override;
  void Add(std::u16string name, std::u16string content) override;
  void Set(std::u16string_view name, std::u16string content) override;
  bool Delete(int index) override;
  void Clear() override;

  std::vector<TItem> Items() const;
  // Replaces all items without reporting a change.
  void Load(std::vector<TItem> items);
  void SetOnChange(std::function<void()> onChange);

 private:
  void Changed(std::unique_lock<std::mutex>& hold);
  mutable std::mutex lock_;
  std::vector<TItem> items_;
  std::function<void()> onChange_;
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
  // An empty sendAsFileName becomes the file name of originalFile; an empty
  // fieldName becomes sendAsFileName without its last extension.
  virtual void Add(std::u16string originalFile, std::u16string sendAsFileName = {},
                   std::u16string zipFile = {}, std::u16string fieldName = {}) = 0;
  virtual bool Delete(int index) = 0;
  virtual void Clear() = 0;
};

class TIREAttachments : public IREAttachments {
 public:
  int Count() const override;
  TREAttachment Item(int index) const override;
  void Add(std::u16string originalFile, std::u16string sendAsFileName = {},
           std::u16string zipFile = {}, std::u16string fieldName = {}) override;
  bool Delete(int index) override;
  void Clear() override;

  std::vector<TREAttachment> Items() const;
  void Load(std::vector<TREAttachment> items);
  void SetOnChange(std::function<void()> onChange);

 private:
  void Changed(std::unique_lock<std::mutex>& hold);
  mutable std::mutex lock_;
  std::vector<TREAttachment> items_;
  std::function<void()> onChange_;
};

}  // namespace ruvex
