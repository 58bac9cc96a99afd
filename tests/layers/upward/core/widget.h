#pragma once
// A Qt header below ui/ (not allowed).
#include <QWidget>
#include "platform/clock.h"
