#include "components/message_target.h"

namespace quen {

namespace {
IReadList* g_read_list = nullptr;
}  // namespace

IReadList* ReadList() {
  return g_read_list;
}
void SetReadList(IReadList* list) {
  g_read_list = list;
}

}  // namespace quen
