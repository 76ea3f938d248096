// The pages of text the player has seen, per read key (the scenario page file of the text):
// pairs of read number (the command index) and page index. A box showing a page sets one
// pending mark, which becomes a read pair once that box has revealed the page.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "components/message_target.h"

namespace quen {

class TStream;

struct TQuenRead {
  std::vector<int32_t> numbers;
  std::vector<int32_t> pages;
  bool Has(int32_t number, int32_t page) const;
};

class TQuenReadList : public IReadList {
 public:
  bool IsRead(const std::string& key, int32_t number, int32_t page) const;
  void SetPending(const std::string& box_name, const std::string& key, int32_t page,
                  int32_t number);
  // Adds the pending pair when it was set by this box, then forgets it.
  void CommitPending(const std::string& box_name);
  void Clear() override;
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  const std::string& PendingKey() const { return pending_key_; }

  // Counts are checked against the bytes left; a damaged stream raises the read error and
  // leaves the list as it was.
  void LoadFromStream(TStream& s);
  void SaveToStream(TStream& s) const;

 private:
  std::unordered_map<std::string, TQuenRead> items_;
  std::string pending_key_;
  int32_t pending_number_ = 0;
  int32_t pending_page_ = 0;
  std::string pending_box_;
};

}  // namespace quen
