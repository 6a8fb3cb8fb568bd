-- The LÖVE bunnymark: the same benchmark as bench/bunnymark.cpp, written for
-- LÖVE 11 as one of its users would write it. COUNT sprites of 32×32 pixels
-- (PIXELS with --size), all showing the gauge's pointer cut from the game's
-- atlas, move by the rules of bench/BunnyField.cpp and are drawn each frame
-- through one LÖVE SpriteBatch. After SECONDS it prints
-- "COUNT sprites F frames/s C ms CPU/frame", F being the average frame rate
-- after the first second and C the CPU time of all the process's threads per
-- frame over the same span, and quits. Run from the repository root:
--
--   love bench/love-bunnymark [--size PIXELS] COUNT SECONDS

local PICTURE = "pointer.png"
local ATLAS_DIR = "data/textures/"
local SIZE = 32 -- or --size
local GRAVITY = 600
local FLOOR_BOUNCE = 0.85
local MAX_STEP = 1 / 30
local MAX_START_SPEED = 250
local WARM_UP = 1.0

local count, seconds
local bunnies = {}
local batch, quad, scaleX, scaleY
local width, height
local startTime, lastTime
local countedFrames, firstCounted, lastCounted = 0, 0, 0
local firstCpu, lastCpu = 0, 0

-- Seconds of CPU of all the process's threads: user and system time from
-- /proc/self/stat, in clock ticks of 1/100 s.
local function cpuSeconds()
    local file = io.open("/proc/self/stat", "r")
    if not file then
        return 0
    end
    local stat = file:read("*l")
    file:close()
    -- Fields after the command name, which is in parentheses.
    local rest = stat:match("%)%s+(.*)")
    local fields = {}
    for field in rest:gmatch("%S+") do
        fields[#fields + 1] = field
    end
    -- utime and stime are fields 14 and 15 of the line, 12 and 13 of the rest.
    return (tonumber(fields[12]) + tonumber(fields[13])) / 100
end

-- The repository's files lie outside LÖVE's game directory, so they are read
-- with plain Lua io from the working directory.
local function readFile(path)
    local file = assert(io.open(path, "rb"))
    local bytes = file:read("*a")
    file:close()
    return bytes
end

-- The picture's rectangle in the atlas description, in texture units (x and
-- y from the image's top-left corner), matched as the engine matches a name.
local function findPicture(name)
    for line in io.lines(ATLAS_DIR .. "atlas.txt") do
        local entry, x, y, w, h = line:match("^(%S+)%s+(%S+)%s+(%S+)%s+(%S+)%s+(%S+)")
        if entry and name:find(entry, 1, true) then
            return tonumber(x), tonumber(y), tonumber(w), tonumber(h)
        end
    end
    error("no picture " .. name .. " in the atlas description")
end

local function randomBetween(low, high)
    return low + (high - low) * love.math.random()
end

function love.load(args)
    if args[1] == "--size" then
        SIZE = tonumber(args[2]) or SIZE
        args = {args[3], args[4]}
    end
    count = tonumber(args[1])
    seconds = tonumber(args[2])
    if not count or not seconds or seconds <= WARM_UP then
        io.stderr:write("usage: love bench/love-bunnymark [--size PIXELS] COUNT SECONDS (SECONDS more than 1)\n")
        love.event.quit(1)
        return
    end
    width, height = love.graphics.getDimensions()

    local data = love.filesystem.newFileData(readFile(ATLAS_DIR .. "atlas.png"), "atlas.png")
    local image = love.graphics.newImage(love.image.newImageData(data))
    local iw, ih = image:getDimensions()
    local x, y, w, h = findPicture(PICTURE)
    quad = love.graphics.newQuad(x * iw, y * ih, w * iw, h * ih, iw, ih)
    scaleX, scaleY = SIZE / (w * iw), SIZE / (h * ih)
    batch = love.graphics.newSpriteBatch(image, count, "stream")

    -- Positions in pixels up from the floor, as in the engine's program.
    for i = 1, count do
        bunnies[i] = {
            x = randomBetween(0, width - SIZE),
            y = randomBetween(0, height - SIZE),
            vx = randomBetween(-MAX_START_SPEED, MAX_START_SPEED),
            vy = randomBetween(-MAX_START_SPEED, MAX_START_SPEED),
        }
    end
    startTime = love.timer.getTime()
    lastTime = startTime
end

local function step(dt)
    if dt > MAX_STEP then
        dt = MAX_STEP
    end
    local right = width - SIZE
    for i = 1, count do
        local b = bunnies[i]
        b.vy = b.vy - GRAVITY * dt
        b.x = b.x + b.vx * dt
        b.y = b.y + b.vy * dt
        if b.y < 0 then
            b.y = 0
            b.vy = -b.vy * FLOOR_BOUNCE
        end
        if b.x < 0 then
            b.x = 0
            b.vx = -b.vx
        elseif b.x > right then
            b.x = right
            b.vx = -b.vx
        end
    end
end

function love.update()
    local now = love.timer.getTime() - startTime
    if now >= WARM_UP then
        if countedFrames == 0 then
            firstCounted = now
            firstCpu = cpuSeconds()
        end
        countedFrames = countedFrames + 1
        lastCounted = now
        lastCpu = cpuSeconds()
    end
    if now >= seconds then
        local rate, cpu = 0, 0
        if countedFrames > 1 and lastCounted > firstCounted then
            rate = (countedFrames - 1) / (lastCounted - firstCounted)
            cpu = (lastCpu - firstCpu) * 1000 / (countedFrames - 1)
        end
        io.write(string.format("%d sprites %.1f frames/s %.2f ms CPU/frame\n", count, rate, cpu))
        io.flush()
        love.event.quit(0)
    end
    step(now - lastTime)
    lastTime = now

    batch:clear()
    for i = 1, count do
        local b = bunnies[i]
        -- LÖVE's y grows downward from the top of the window.
        batch:add(quad, b.x, height - SIZE - b.y, 0, scaleX, scaleY)
    end
end

function love.draw()
    love.graphics.draw(batch)
end
