// Every public header of the 3D module (scene and objects), for runtime/runtime.h.
#pragma once
