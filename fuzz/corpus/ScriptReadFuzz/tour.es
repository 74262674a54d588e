// A tour of the script language: run it with
//     embossa script examples/vectors.es
// print writes no line end of its own, so lines end with "\n".

/* Values are declared with their type; a declaration without a value
   starts at zero. Vectors have the members x, y, z and a few methods. */
vec3d a;
a.set(1.0, 2.0, 3.0);
vec3d b;
b.x = 4.0;
b.y = 5.0;
b.z = 6.0;

print "a + b = "; print a + b; print "\n";
print "a * b = "; print a * b; print "   (the dot product in every component)\n";
print "a * 2 = "; print a * 2.0; print "\n";

// The left operand's type decides: int / int stays int, float - int is int.
print "7 / 2 = "; print 7 / 2; print ", 7.5 - 2 = "; print 7.5 - 2;
print ", 7.5 + 2 = "; print 7.5 + 2; print "\n";
byte small = 200;
print "byte 200 + 100 = "; print small + 100; print "\n";

// Methods take no parameters; they read and write the globals above them.
// return fills the return value element by element.
vec3d up() {
    return 0.0, 1.0, 0.0;
}
float size = 2.0;
vec3d scaled() {
    vec3d v = up() * size;
    return v;
}
print "up = "; print up(); print ", scaled = "; print scaled(); print "\n";

vec2d flat;
flat.set(3.0, 4.0);
flat.normalize();
print "(3,4) normalized = "; print flat; print "\n";

// A String's "+" appends to the left operand itself.
String greeting = "Hello";
greeting + ", world";
print greeting; print "\n";

// The predeclared camera drives the engine's camera.
camera.vPos.set(0.0, 10.0, -25.0);
camera.fPan = 30.0;
camera.fPan += 15.0;
print "camera at "; print camera.vPos; print ", pan "; print camera.fPan; print "\n";
print "space or enter held: "; print keyboard.space || keyboard.enter; print "\n";
