#include "section_editor.h"

#include "section_file.h"
#include "segment_table.h"

QString SectionEditor::QuestionText(Question question) {
  switch (question) {
    case Question::kSaveChanges:
      return QStringLiteral("Are you sure to save your changes?");
    case Question::kCancelEditing:
      return QStringLiteral("Are you sure to cancel editing?");
    case Question::kNone:
      break;
  }
  return {};
}

SectionEditor::SectionEditor(SectionFile* file, SegmentTable* table)
    : m_file(file), m_table(table) {}

EditorEffects SectionEditor::Load() {
  EditorEffects effects;
  const SectionFile::LoadResult loaded = m_file->Load();
  if (!loaded.ok) {
    effects.error = loaded.error;
    return effects;
  }
  m_hidden_tail = loaded.hidden_tail;
  effects.set_text = true;
  effects.text = loaded.editor_text;
  effects.information = m_table->Reload(loaded.content);
  effects.sections_reloaded = true;
  return effects;
}

EditorEffects SectionEditor::Reload() {
  EditorEffects effects;
  QString error;
  const QByteArray content = m_file->ReadAll(&error);
  if (!error.isEmpty()) {
    effects.error = error;
    return effects;
  }
  effects.information = m_table->Reload(content);
  effects.sections_reloaded = true;
  return effects;
}

EditorEffects SectionEditor::OnKey(int key, Qt::KeyboardModifiers modifiers,
                                   const QString& pane_text) {
  EditorEffects effects;
  if (m_locked) {
    if (key == kUnlockFirst && m_progress == 0) {
      m_progress = 1;
    } else if (key == kUnlockSecond && m_progress == 1) {
      m_progress = 2;
    } else if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_progress == 2) {
      m_progress = 0;
      m_locked = false;
      m_saved_text = pane_text;
      effects.read_only = false;
      effects.consume_key = true;
    }
    return effects;
  }

  if (key == Qt::Key_R && (modifiers & Qt::ControlModifier)) {
    effects = WriteReloadLock(SectionFile::DefaultText(), QString());
    if (effects.error.isEmpty()) {
      m_hidden_tail.clear();
      // A capped-table notice cannot come from the default content.
      effects.information = QStringLiteral("Have recovered the default configuration!");
    }
  }
  return effects;
}

SectionEditor::Question SectionEditor::OnLeave(const QString& pane_text) {
  if (m_locked || m_pending != Question::kNone) return Question::kNone;
  if (pane_text != m_saved_text) {
    m_pending = Question::kSaveChanges;
    m_pending_text = pane_text;
  } else {
    m_pending = Question::kCancelEditing;
  }
  return m_pending;
}

EditorEffects SectionEditor::Answer(Reply reply) {
  const Question question = m_pending;
  m_pending = Question::kNone;
  EditorEffects effects;
  switch (question) {
    case Question::kSaveChanges:
      if (reply == Reply::kYes) return WriteReloadLock(m_pending_text, m_hidden_tail);
      if (reply == Reply::kNo) return WriteReloadLock(m_saved_text, m_hidden_tail);
      effects.refocus = true;
      return effects;
    case Question::kCancelEditing:
      if (reply == Reply::kYes) return Lock(m_saved_text);
      effects.refocus = true;
      return effects;
    case Question::kNone:
      break;
  }
  return effects;
}

EditorEffects SectionEditor::WriteReloadLock(const QString& text, const QString& tail) {
  EditorEffects effects;
  const QString error = m_file->Write(text, tail);
  if (!error.isEmpty()) {
    // The file is as it was; stay in editing so the operator's text is kept.
    effects.error = error;
    effects.refocus = true;
    return effects;
  }
  effects = Reload();
  EditorEffects locked = Lock(text);
  effects.set_text = locked.set_text;
  effects.text = locked.text;
  effects.read_only = locked.read_only;
  return effects;
}

EditorEffects SectionEditor::Lock(const QString& text) {
  m_locked = true;
  EditorEffects effects;
  effects.set_text = true;
  effects.text = text;
  effects.read_only = true;
  return effects;
}
