camera.fPan = 30.0; camera.fTilt += 2.5; camera.vPos.set(1.0, 2.0, 3.0);
camera.fly(); camera.fly(0.5); camera.fly(0.28, 3.0); camera.calc();
vec3d d; d.set(0.0, 0.0, 1.0); camera.calcMatrix(d, camera.vPos);
print(keyboard.esc + keyboard.1 + keyboard.0); print(mouse.left); print(mouse.force);
