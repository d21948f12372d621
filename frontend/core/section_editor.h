#pragma once

#include <QString>
#include <Qt>
#include <optional>

class SectionFile;
class SegmentTable;

// What the dialog does after an editor event, in this order: write nothing
// itself (the editor already wrote the file and reloaded the table); if
// `sections_reloaded`, refill the Section list from the table and select
// `SegmentTable::SelectedIndex()`; if `set_text`, set the pane's text to
// `text`; if `read_only` is set, make the pane read-only (true) or editable
// (false); show `information` (caption "Information", information icon, OK)
// and `error` (same box) when not empty; give the pane the focus back if
// `refocus`. `consume_key` applies to key events: true means the key is not
// passed on.
struct EditorEffects {
  bool consume_key = false;
  bool sections_reloaded = false;
  bool set_text = false;
  QString text;
  std::optional<bool> read_only;
  QString information;
  QString error;
  bool refocus = false;
};

// The section editor pane's state machine: locked / editing, the unlock
// sequence, Ctrl+R restore, and the questions when the pane loses the focus.
// It drives the section file and the section table (neither owned; both
// must outlive it) and tells the dialog what to show.
//
// Unlock: with the pane locked and focused, the keys K, then B, then Return
// (in that order; other keys between them don't matter and don't reset the
// count) unlock it; only that Return is consumed. The progress is kept when
// the pane loses the focus.
// Ctrl+R while editing restores the default file, reloads, locks and says
// "Have recovered the default configuration!"; the key is passed on.
// Leaving the pane while editing asks a question (see OnLeave); the dialog
// shows it and reports the answer with Answer(). Dialog thread only.
class SectionEditor {
 public:
  // Letters of the unlock sequence, as Qt key codes.
  static constexpr int kUnlockFirst = Qt::Key_K;
  static constexpr int kUnlockSecond = Qt::Key_B;

  enum class Question {
    kNone,           // nothing to ask
    kSaveChanges,    // "Are you sure to save your changes?" Yes/No/Cancel, default Cancel
    kCancelEditing,  // "Are you sure to cancel editing?" Yes/No, default No
  };
  enum class Reply { kYes, kNo, kCancel };

  static QString QuestionText(Question question);

  SectionEditor(SectionFile* file, SegmentTable* table);

  // LoadSectionFile at start-up: loads or creates the file, sets the pane's
  // text, rebuilds the table. On failure (`error` set) the table and the
  // pane stay as they were.
  EditorEffects Load();

  // ReloadSections: rebuilds the table from the file on disk, keeping the
  // selection index. `error` / `information` report an unreadable file or a
  // capped SegNumber.
  EditorEffects Reload();

  // A key-down in the pane (before the pane handles it). `pane_text` is the
  // pane's current text.
  EditorEffects OnKey(int key, Qt::KeyboardModifiers modifiers, const QString& pane_text);

  // The pane lost the focus. Returns the question to ask (kNone while locked,
  // or while a question is already waiting for its answer, since the message
  // box itself takes the focus away).
  Question OnLeave(const QString& pane_text);
  // The operator's answer to the question OnLeave returned.
  EditorEffects Answer(Reply reply);

  bool IsLocked() const { return m_locked; }
  int UnlockProgress() const { return m_progress; }
  const QString& SavedText() const { return m_saved_text; }

 private:
  EditorEffects WriteReloadLock(const QString& text, const QString& tail);
  EditorEffects Lock(const QString& text);

  SectionFile* m_file = nullptr;
  SegmentTable* m_table = nullptr;
  bool m_locked = true;
  int m_progress = 0;
  QString m_saved_text;
  QString m_hidden_tail;
  Question m_pending = Question::kNone;
  QString m_pending_text;
};
