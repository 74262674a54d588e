int g = 2;
vec3d up() { return 0.0, 1.0, 0.0; }
int twice() { int x = g * 2; return x; return x + 1; }
Color red() { return 255, 255, 0, 0; }
Matrix3d rows() { return up(), up() * 2.0; }
void show() { print(up()); print(twice()); print(red()); print(rows()); }
show(); g += 1; show();
