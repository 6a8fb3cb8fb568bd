-- The LÖVE bunnymark's window: 1024×768, not resizable, no vsync, so that the
-- frame rate is the program's own; the modules it does not use stay off.
function love.conf(t)
    t.identity = "velmora-love-bunnymark"
    t.window.title = "LÖVE bunnymark"
    t.window.width = 1024
    t.window.height = 768
    t.window.resizable = false
    t.window.vsync = 0
    t.modules.audio = false
    t.modules.sound = false
    t.modules.joystick = false
    t.modules.physics = false
    t.modules.video = false
    t.modules.touch = false
end
