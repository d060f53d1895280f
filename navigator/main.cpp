// Program entry of Velmora器.
#include "navigator/navigator.h"

int main() {
  startNavigator();
  return 0;
}
