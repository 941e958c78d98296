// SPDX-License-Identifier: MIT
// Analysis > Bootstrap Settings... driven as a user drives it: the dialog,
// the rerun of the data held, the settings kept between sessions and the
// status bar that names settings other than the defaults.
#include "window/bootstrap_dialog.h"
#include "support/window_fixture.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "support/modal_script.h"
#include "window/chart_widget.h"
#include "window/main_window.h"

namespace orvane {
namespace {

using testing_support::ModalScript;

const char* kSix = "3 2 30\n4 2 45\n5 1 40\n6 2 35\n2 1 38\n3 1 32\n";

template <typename T>
T* Find(QWidget* parent, const char* name) {
  T* child = parent->findChild<T*>(name);
  EXPECT_NE(child, nullptr) << name;
  return child;
}

TEST(BootstrapDialog, ShowsItsSettingsAndRestoresTheDefaults) {
  BootstrapDialog dialog({500, 7});
  EXPECT_EQ(dialog.objectName(), "bootstrapDialog");
  auto* resamples = Find<QSpinBox>(&dialog, "bootstrapResamples");
  auto* seed = Find<QLineEdit>(&dialog, "bootstrapSeed");
  auto* kept = Find<QLabel>(&dialog, "bootstrapKept");
  EXPECT_EQ(resamples->value(), 500);
  EXPECT_EQ(resamples->minimum(), 20);
  EXPECT_EQ(resamples->maximum(), 100000);
  EXPECT_EQ(seed->text(), "7");
  EXPECT_TRUE(kept->text().contains("475")) << kept->text().toStdString();
  EXPECT_TRUE(Find<QLabel>(&dialog, "bootstrapNote")
                  ->text()
                  .contains("Only the defaults, 200 resamples from the seed 1, "
                            "reproduce the published figures"));

  Find<QPushButton>(&dialog, "bootstrapDefaults")->click();
  EXPECT_EQ(resamples->value(), 200);
  EXPECT_EQ(seed->text(), "1");
  EXPECT_TRUE(kept->text().contains("190"));
  EXPECT_TRUE(dialog.Settings().IsDefault());

  // A seed beyond 32 bits, or none, cannot be accepted.
  QPushButton* ok = nullptr;
  for (QPushButton* b : dialog.findChildren<QPushButton*>()) {
    if (b->text().remove('&') == "OK") ok = b;
  }
  ASSERT_NE(ok, nullptr);
  seed->setText("4294967296");
  EXPECT_FALSE(ok->isEnabled());
  EXPECT_TRUE(Find<QLabel>(&dialog, "bootstrapSeedHint")
                  ->text()
                  .contains("whole number from 0 to 4294967295"));
  seed->clear();
  EXPECT_FALSE(ok->isEnabled());
  // Only digits can be typed.
  seed->setFocus();
  QTest::keyClicks(seed, "-4x2");
  EXPECT_EQ(seed->text(), "42");
  EXPECT_TRUE(ok->isEnabled());
  EXPECT_EQ(dialog.Settings(), (BootstrapSettings{200, 42}));
}

TEST(BootstrapDialog, KeptBetweenSessionsWithinTheLimits) {
  QSettings().clear();
  EXPECT_TRUE(LoadBootstrapSettings().IsDefault());
  StoreBootstrapSettings({1000, 4294967295u});
  EXPECT_EQ(LoadBootstrapSettings(), (BootstrapSettings{1000, 4294967295u}));
  StoreBootstrapSettings({});
  EXPECT_FALSE(QSettings().contains("bootstrap/resamples"));
  EXPECT_FALSE(QSettings().contains("bootstrap/seed"));
  // A hand-edited file out of the limits gives the defaults.
  for (const auto& [resamples, seed] : {std::pair<QString, QString>{"5", "1"},
                                        {"300", "-1"},
                                        {"x", "2"},
                                        {"500", "4294967296"}}) {
    QSettings().setValue("bootstrap/resamples", resamples);
    QSettings().setValue("bootstrap/seed", seed);
    EXPECT_TRUE(LoadBootstrapSettings().IsDefault())
        << resamples.toStdString() << " " << seed.toStdString();
  }
  QSettings().clear();
}

// Sets the dialog's resamples and seed and presses OK, or Cancel.
ModalScript::Handler Settle(int resamples, const QString& seed,
                            bool accept = true) {
  return [=](QWidget* w) {
    ASSERT_EQ(w->objectName(), "bootstrapDialog");
    w->findChild<QSpinBox*>("bootstrapResamples")->setValue(resamples);
    w->findChild<QLineEdit*>("bootstrapSeed")->setText(seed);
    QMetaObject::invokeMethod(w, accept ? "accept" : "reject",
                              Qt::QueuedConnection);
  };
}

class BootstrapSettingsWindow : public testing_support::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    six_ = WriteData("six.txt", kSix);
  }
  void Settings(std::deque<ModalScript::Handler> script) {
    ModalScript s(std::move(script));
    QAction* action = window_->findChild<QAction*>("bootstrapSettingsAction");
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), "&Bootstrap Settings...");
    action->trigger();
    QApplication::processEvents();
  }
  QString Report() const {
    return window_->findChild<QPlainTextEdit*>("report")->toPlainText();
  }
  QString Limits() const {
    return window_->findChild<QLabel*>("statusLimits")->text();
  }
  std::size_t Cloud() const {
    return window_->findChild<ChartWidget*>("chart")->Chart().bootstrap.Count();
  }

  QString six_;
};

TEST_F(BootstrapSettingsWindow, OkAnalysesTheDataHeldAgain) {
  window_->openFile(six_);
  const QString today = Report();
  const QString limits = Limits();
  ASSERT_TRUE(today.contains("** 95% Confidence Limits **"));
  EXPECT_FALSE(today.contains("resamples"));
  EXPECT_EQ(Cloud(), 190u);

  Settings({Settle(500, "7")});
  EXPECT_TRUE(
      Report().contains("** 95% Confidence Limits **\n"
                        "  (500 resamples, seed 7)\n  R_s = "))
      << Report().toStdString();
  EXPECT_TRUE(Report().contains("  file = " + six_));
  EXPECT_TRUE(Limits().endsWith("  (500 resamples, seed 7)"));
  EXPECT_EQ(window_->State().solutions.size(), 501u);
  EXPECT_EQ(Cloud(), 475u);
  EXPECT_EQ(window_->windowTitle(), "Orvane  [ six.txt ]");
  EXPECT_EQ(QSettings().value("bootstrap/resamples").toString(), "500");
  EXPECT_EQ(QSettings().value("bootstrap/seed").toString(), "7");
  const QString other = Report();

  // Cancel changes nothing, whatever was typed.
  Settings({Settle(900, "3", false)});
  EXPECT_EQ(Report(), other);
  EXPECT_EQ(window_->State().bootstrap, (BootstrapSettings{500, 7}));
  EXPECT_EQ(QSettings().value("bootstrap/resamples").toString(), "500");

  // The next file is drawn the same way; the dialog shows the settings.
  window_->openFile(six_);
  EXPECT_EQ(Report(), other);
  Settings({[](QWidget* w) {
    EXPECT_EQ(w->findChild<QSpinBox*>("bootstrapResamples")->value(), 500);
    EXPECT_EQ(w->findChild<QLineEdit*>("bootstrapSeed")->text(), "7");
    w->findChild<QPushButton*>("bootstrapDefaults")->click();
    QMetaObject::invokeMethod(w, "accept", Qt::QueuedConnection);
  }});
  // The defaults again: today's figures, and nothing kept.
  EXPECT_EQ(Report(), today);
  EXPECT_EQ(Limits(), limits);
  EXPECT_EQ(Cloud(), 190u);
  EXPECT_FALSE(QSettings().contains("bootstrap/resamples"));
}

TEST_F(BootstrapSettingsWindow, NextSessionDrawsWithTheSettingsKept) {
  // Before any data there is nothing to analyse again.
  Settings({Settle(40, "0")});
  EXPECT_EQ(Report(), "");
  window_ = std::make_unique<MainWindow>();
  window_->openFile(six_);
  EXPECT_TRUE(Report().contains("  (40 resamples, seed 0)"));
  EXPECT_EQ(window_->State().kept.size(), 38u);
}

TEST_F(BootstrapSettingsWindow, RerunNamesTheDataHeld) {
  // A table imported after a data file: the rerun's report and caption name
  // the table, not the open dialog's file.
  window_->openFile(six_);
  QFile f(dir_.filePath("grains.csv"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("Major,Minor,Angle\n3,2,30\n4,2,45\n5,1,40\n6,2,35\n2,1,38\n");
  f.close();
  const QString table = dir_.filePath("grains.csv");
  {
    ModalScript s({[](QWidget* w) {
      ASSERT_EQ(w->objectName(), "tableImportDialog");
      QMetaObject::invokeMethod(w, "accept", Qt::QueuedConnection);
    }});
    window_->importTable(table);
    QApplication::processEvents();
  }
  ASSERT_TRUE(Report().contains("  file = " + table));
  Settings({Settle(60, "5")});
  EXPECT_TRUE(Report().contains("  file = " + table)) << Report().toStdString();
  EXPECT_TRUE(Report().contains("  N    = 5"));
  EXPECT_TRUE(Report().contains("  (60 resamples, seed 5)"));
  EXPECT_EQ(window_->windowTitle(), "Orvane  [ grains.csv ]");
}

TEST_F(BootstrapSettingsWindow, FewerThanFiveDataNeedNoRerun) {
  QFile f(dir_.filePath("four.txt"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("3 2 30\n4 2 45\n5 1 40\n6 2 35\n");
  f.close();
  {
    ModalScript s({testing_support::Box("Number of data < 5")});
    window_->openFile(dir_.filePath("four.txt"));
  }
  const QString report = Report();
  // No second "Number of data < 5": the bootstrap does not run.
  Settings({Settle(300, "2")});
  EXPECT_EQ(Report(), report);
  EXPECT_EQ(LoadBootstrapSettings(), (BootstrapSettings{300, 2}));
}

}  // namespace
}  // namespace orvane
