#include "section_editor.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "section_file.h"
#include "segment_table.h"
#include "test_printers.h"

namespace {

class SectionEditorTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Apply(m_editor.Load()).error.isEmpty()); }

  // Applies the effects the way the dialog does, to a model of the pane.
  EditorEffects Apply(const EditorEffects& effects) {
    if (effects.set_text) m_pane_text = effects.text;
    if (effects.read_only) m_read_only = *effects.read_only;
    return effects;
  }
  EditorEffects Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return Apply(m_editor.OnKey(key, modifiers, m_pane_text));
  }
  void Unlock() {
    Key(SectionEditor::kUnlockFirst);
    Key(SectionEditor::kUnlockSecond);
    ASSERT_TRUE(Key(Qt::Key_Return).consume_key);
    ASSERT_FALSE(m_read_only);
  }
  QByteArray FileBytes() {
    QFile file(m_file.path());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  QTemporaryDir m_dir;
  SectionFile m_file{m_dir.filePath("config.ini")};
  SegmentTable m_table;
  SectionEditor m_editor{&m_file, &m_table};
  QString m_pane_text;
  bool m_read_only = true;
};

TEST_F(SectionEditorTest, LoadFillsThePaneAndTheTable) {
  EXPECT_EQ(m_pane_text, SectionFile::DefaultText());
  EXPECT_EQ(m_table.Count(), 9);
  EXPECT_TRUE(m_editor.IsLocked());
}

TEST_F(SectionEditorTest, UnlockSequenceAndItsCounting) {
  const struct {
    std::vector<int> keys;
    bool unlocks;
  } cases[] = {
      {{Qt::Key_K, Qt::Key_B, Qt::Key_Return}, true},
      {{Qt::Key_K, Qt::Key_B, Qt::Key_Enter}, true},
      {{Qt::Key_B, Qt::Key_K, Qt::Key_Return}, false},  // wrong order
      {{Qt::Key_K, Qt::Key_X, Qt::Key_Space, Qt::Key_B, Qt::Key_Z, Qt::Key_Return}, true},
      {{Qt::Key_K, Qt::Key_K, Qt::Key_B, Qt::Key_Return}, true},
      {{Qt::Key_K, Qt::Key_Return}, false},
      {{Qt::Key_Return}, false},
  };
  for (const auto& c : cases) {
    SectionFile file(m_file.path());
    SegmentTable table;
    SectionEditor editor(&file, &table);
    editor.Load();
    bool consumed_before_last = false;
    EditorEffects last;
    for (size_t i = 0; i < c.keys.size(); ++i) {
      last = editor.OnKey(c.keys[i], Qt::NoModifier, "pane");
      if (i + 1 < c.keys.size()) consumed_before_last |= last.consume_key;
    }
    EXPECT_EQ(!editor.IsLocked(), c.unlocks) << c.keys.size();
    EXPECT_EQ(last.consume_key, c.unlocks);  // only the unlocking Return is consumed
    EXPECT_FALSE(consumed_before_last);
    if (c.unlocks) {
      EXPECT_EQ(last.read_only, std::optional<bool>(false));
      EXPECT_EQ(editor.SavedText(), "pane");
    }
  }
}

TEST_F(SectionEditorTest, ProgressSurvivesLeavingThePane) {
  Key(Qt::Key_K);
  EXPECT_EQ(m_editor.OnLeave(m_pane_text), SectionEditor::Question::kNone);
  Key(Qt::Key_B);
  Key(Qt::Key_Return);
  EXPECT_FALSE(m_editor.IsLocked());
  EXPECT_EQ(m_editor.UnlockProgress(), 0);
}

TEST_F(SectionEditorTest, CtrlRRestoresTheDefaultOnlyWhileEditing) {
  Key(Qt::Key_R, Qt::ControlModifier);  // locked: nothing
  EXPECT_TRUE(m_editor.IsLocked());

  ASSERT_EQ(m_file.Write("[Main]\nSegNumber=1\nSeg0=Only\n"), "");
  Apply(m_editor.Reload());
  ASSERT_EQ(m_table.Count(), 1);
  Unlock();
  m_pane_text = "typed";
  const EditorEffects effects = Key(Qt::Key_R, Qt::ControlModifier);
  EXPECT_FALSE(effects.consume_key);
  EXPECT_EQ(effects.information, "Have recovered the default configuration!");
  EXPECT_TRUE(effects.sections_reloaded);
  EXPECT_EQ(m_pane_text, SectionFile::DefaultText());
  EXPECT_TRUE(m_read_only);
  EXPECT_TRUE(m_editor.IsLocked());
  EXPECT_EQ(m_table.Count(), 9);
  EXPECT_EQ(FileBytes(), SectionFile::DefaultText().toUtf8());

  // R without Control while editing is just typing.
  Unlock();
  EXPECT_EQ(Key(Qt::Key_R).information, "");
  EXPECT_FALSE(m_editor.IsLocked());
}

TEST_F(SectionEditorTest, LeavingWithChangesAsksToSave) {
  const QString changed = "[Main]\nSegNumber=1\nSeg0=New\n[New]\nStartAddr=0x5\n";
  const struct {
    SectionEditor::Reply reply;
    bool locked_after;
    QString file_after;
    QString pane_after;
  } cases[] = {
      {SectionEditor::Reply::kYes, true, changed, changed},
      {SectionEditor::Reply::kNo, true, SectionFile::DefaultText(), SectionFile::DefaultText()},
      {SectionEditor::Reply::kCancel, false, SectionFile::DefaultText(), changed},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(m_file.Write(SectionFile::DefaultText()), "");
    Apply(m_editor.Reload());
    m_pane_text = SectionFile::DefaultText();
    Unlock();
    m_pane_text = changed;
    ASSERT_EQ(m_editor.OnLeave(m_pane_text), SectionEditor::Question::kSaveChanges);
    EXPECT_EQ(SectionEditor::QuestionText(SectionEditor::Question::kSaveChanges),
              "Are you sure to save your changes?");
    // The message box takes the focus: no second question meanwhile.
    EXPECT_EQ(m_editor.OnLeave(m_pane_text), SectionEditor::Question::kNone);
    const EditorEffects effects = Apply(m_editor.Answer(c.reply));
    EXPECT_EQ(m_editor.IsLocked(), c.locked_after);
    EXPECT_EQ(effects.refocus, !c.locked_after);
    EXPECT_EQ(QString::fromUtf8(FileBytes()), c.file_after);
    EXPECT_EQ(m_pane_text, c.pane_after);
    if (c.reply == SectionEditor::Reply::kYes) {
      EXPECT_EQ(m_table.Count(), 1);
      EXPECT_EQ(m_table.At(0)->start_address, 5u);
    }
    if (!m_editor.IsLocked()) {
      // Back to the default for the next case.
      m_pane_text = m_editor.SavedText();
      m_editor.OnLeave(m_pane_text);
      Apply(m_editor.Answer(SectionEditor::Reply::kYes));
    }
  }
}

TEST_F(SectionEditorTest, LeavingUnchangedAsksToCancelEditing) {
  Unlock();
  ASSERT_EQ(m_editor.OnLeave(m_pane_text), SectionEditor::Question::kCancelEditing);
  EXPECT_EQ(SectionEditor::QuestionText(SectionEditor::Question::kCancelEditing),
            "Are you sure to cancel editing?");
  EditorEffects effects = Apply(m_editor.Answer(SectionEditor::Reply::kNo));
  EXPECT_TRUE(effects.refocus);
  EXPECT_FALSE(m_editor.IsLocked());
  EXPECT_FALSE(m_read_only);

  ASSERT_EQ(m_editor.OnLeave(m_pane_text), SectionEditor::Question::kCancelEditing);
  QFile::remove(m_file.path());  // "Yes" does not write the file
  effects = Apply(m_editor.Answer(SectionEditor::Reply::kYes));
  EXPECT_TRUE(m_editor.IsLocked());
  EXPECT_TRUE(m_read_only);
  EXPECT_FALSE(QFile::exists(m_file.path()));
}

TEST_F(SectionEditorTest, DiscardingChangesOfALongFileKeepsItsUnseenTail) {
  QByteArray content = "[Main]\nSegNumber=1\nSeg0=A\n[A]\nStartAddr=0x1\n";
  while (content.size() < 2500) content += "; note\n";
  content += "[Tail]\nkept=1\n";
  ASSERT_EQ(m_file.Write(QString::fromLatin1(content)), "");
  Apply(m_editor.Load());
  ASSERT_EQ(m_pane_text.size(), SectionFile::kEditorLimit);
  Unlock();
  m_pane_text.replace("0x1", "0x2");
  m_editor.OnLeave(m_pane_text);
  Apply(m_editor.Answer(SectionEditor::Reply::kNo));
  EXPECT_EQ(FileBytes(), content);
  Unlock();
  m_pane_text.replace("0x1", "0x2");
  m_editor.OnLeave(m_pane_text);
  Apply(m_editor.Answer(SectionEditor::Reply::kYes));
  EXPECT_EQ(FileBytes(), QByteArray(content).replace("0x1", "0x2"));
  EXPECT_EQ(m_table.At(0)->start_address, 2u);
}

TEST_F(SectionEditorTest, FailedWriteKeepsEditingAndTheTable) {
  Unlock();
  m_pane_text = "[Main]\nSegNumber=0\n";
  // The file's place becomes a folder: the write cannot replace it.
  QFile::remove(m_file.path());
  ASSERT_TRUE(QDir(m_dir.path()).mkdir("config.ini"));
  m_editor.OnLeave(m_pane_text);
  const EditorEffects effects = Apply(m_editor.Answer(SectionEditor::Reply::kYes));
  EXPECT_TRUE(effects.error.startsWith("Cannot write the section file "))
      << effects.error.toStdString();
  EXPECT_TRUE(effects.refocus);
  EXPECT_FALSE(m_editor.IsLocked());
  EXPECT_EQ(m_table.Count(), 9);
}

}  // namespace
