// What every core routine receives: the operating system, the user interface
// and the table of open numbered files. All three outlive the routines that
// use them.
#pragma once

#include "platform/Env.h"
#include "platform/FileChannels.h"
#include "platform/UserInterface.h"

namespace platform {

struct Context {
  Env& env;
  UserInterface& ui;
  FileChannels& files;
};

}  // namespace platform
