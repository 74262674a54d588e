void v; bool b = true; byte y = 200; int8 s = 3; int i = -7; float f = 1.5e1;
String t = "a\tb\n\"q\"\\"; vec2d p; vec3d q; Color c; Matrix3d m;
m.v2.y = 5.0; c.r = 255; p.set(3.0, 4.0); print p.length(); print q.isNull(); print m.v2; print c;
