// placeholder until the window models land
