byte b = 250; int8 s = -3; int i = 7; float f = 7.5; bool t = true;
print(b + i * 2 - f / 2); print(s && i || f); print(t * b); print(-(i - f)); print("x" + "y" - 1);
print(sin(i) + cos(f)); print(1 || 0 && 0);
