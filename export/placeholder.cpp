#include "ui/MessageBox.h"
