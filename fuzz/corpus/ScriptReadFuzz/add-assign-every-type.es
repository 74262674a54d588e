byte b; b += 300; float f; f += 1.5; int i; i += 2; String s = "a"; s += "b"; vec3d v; v += v; v.x += 1;
