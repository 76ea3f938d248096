#include "text/message_history.h"
#include "text/text_pictures.h"
#include "text/text_source.h"

namespace quen {

namespace {
ITextPictureSource* g_pictures = nullptr;
ITextSource* g_texts = nullptr;
IMessageHistory g_no_history;
IMessageHistory* g_history = nullptr;
}  // namespace

ITextPictureSource* TextPictureSource() {
  return g_pictures;
}

void SetTextPictureSource(ITextPictureSource* source) {
  g_pictures = source;
}

ITextSource* TextSource() {
  return g_texts;
}

void SetTextSource(ITextSource* source) {
  g_texts = source;
}

IMessageHistory& MessageHistory() {
  return g_history ? *g_history : g_no_history;
}

void SetMessageHistory(IMessageHistory* history) {
  g_history = history;
}

}  // namespace quen
