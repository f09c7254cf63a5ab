#include "ui/command_states.h"

namespace quillon {

void CommandStates::DataFlowStarted() {
  flags_.data = false;
}

void CommandStates::DataFlowEnded() {
  flags_.data = !Busy();
}

void CommandStates::ScanStarting() {
  activity_ = Activity::Scanning;
  flags_.data = false;
  flags_.save = false;
  flags_.stop = true;
}

void CommandStates::ViewsReset() {
  flags_.find = false;
}

void CommandStates::MailRowAdded() {
  flags_.find = true;
}

void CommandStates::ScanFinished(bool listHasRows) {
  activity_ = Activity::Idle;
  flags_.data = true;
  flags_.save = listHasRows;
  flags_.stop = false;
}

void CommandStates::StopConfirmed() {
  flags_.stop = false;
}

void CommandStates::FolderSelected(bool listHasRows) {
  if (Busy()) return;
  flags_.save = listHasRows;
}

void CommandStates::SaveRunChoosingFolder() {
  activity_ = Activity::ChoosingSaveFolder;
  flags_.data = false;
  flags_.save = false;
}

void CommandStates::SaveRunAbandoned() {
  activity_ = Activity::Idle;
  flags_.data = true;
  flags_.save = true;
  flags_.stop = false;
}

void CommandStates::SaveRunWriting() {
  activity_ = Activity::Saving;
  flags_.data = false;
  flags_.save = false;
  flags_.stop = true;
}

void CommandStates::SaveRunFinished() {
  activity_ = Activity::Idle;
  flags_.data = true;
  flags_.save = true;
  flags_.stop = false;
}

}  // namespace quillon
