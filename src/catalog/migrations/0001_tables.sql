-- The catalog's tables. ${id} is the table's own row number (an integer
-- primary key the store assigns); ${text} holds texts as bytes, exactly as
-- recorded (TEXT in SQLite, BYTEA in PostgreSQL). Dates are seconds since
-- 1970-01-01 00:00:00 UTC, those named _ns nanoseconds.

-- A card by its medium's identity, or a copy of something that is not a
-- card by where the copy lies.
CREATE TABLE cards (
    id ${id},
    card_key ${text} NOT NULL UNIQUE,  -- "medium:<medium ID>", or "copy:<volume key>:<path>"
    medium_id ${text},                 -- NULL for a copy of something that is not a card
    folder_name ${text} NOT NULL,
    volume_key ${text},                -- the volume the card was last read on (its copies there do not count)
    first_seen BIGINT NOT NULL,
    last_seen BIGINT NOT NULL
);

-- A clip of a card, with the relay links that chain a recording across
-- clips and cards.
CREATE TABLE clips (
    id ${id},
    card_id BIGINT NOT NULL REFERENCES cards (id) ON DELETE CASCADE,
    clip_id ${text} NOT NULL,
    umid ${text},
    start_timecode ${text},
    end_timecode ${text},
    duration_frames BIGINT,
    duration_timecode ${text},
    frame_rate ${text},
    picture_size ${text},
    audio_layout ${text},
    title ${text},
    creator ${text},
    description ${text},
    shooting_date ${text},
    camera_make ${text},
    camera_model ${text},
    camera_serial ${text},
    location ${text},
    search_text ${text} NOT NULL,  -- clip ID, title, creator, description, camera serial: case-folded
    relay_medium_id ${text},
    previous_medium_id ${text},
    previous_clip_id ${text},
    previous_umid ${text},
    next_medium_id ${text},
    next_clip_id ${text},
    next_umid ${text},
    UNIQUE (card_id, clip_id)
);

-- A file of a card, relative to the card folder.
CREATE TABLE card_files (
    id ${id},
    card_id BIGINT NOT NULL REFERENCES cards (id) ON DELETE CASCADE,
    path ${text} NOT NULL,
    size BIGINT,
    modified_ns BIGINT,
    clip BIGINT REFERENCES clips (id) ON DELETE SET NULL,
    safe_volumes BIGINT NOT NULL DEFAULT 0,  -- volumes holding a copy that counts
    UNIQUE (card_id, path)
);

-- The hashes of a card file's bytes, for the size and time it had then.
CREATE TABLE card_file_hashes (
    file_id BIGINT NOT NULL REFERENCES card_files (id) ON DELETE CASCADE,
    format ${text} NOT NULL,
    value ${text} NOT NULL,
    size BIGINT NOT NULL,
    modified_ns BIGINT NOT NULL,
    hashed_at BIGINT NOT NULL,
    PRIMARY KEY (file_id, format)
);

-- A file system copies lie on: two copies on one volume are one copy.
CREATE TABLE volumes (
    id ${id},
    volume_key ${text} NOT NULL UNIQUE,
    uuid ${text},
    label ${text},
    fs_type ${text},
    device ${text},
    mount_point ${text},
    last_seen BIGINT NOT NULL
);

-- A copy of a card file, as the newest entry of the ASC MHL history that
-- holds it vouches for it.
CREATE TABLE copies (
    id ${id},
    file_id BIGINT NOT NULL REFERENCES card_files (id) ON DELETE CASCADE,
    volume_id BIGINT NOT NULL REFERENCES volumes (id),
    path ${text} NOT NULL,             -- on the volume, relative to its mount point
    size BIGINT,
    modified BIGINT,
    action ${text} NOT NULL,           -- original, verified or failed
    vouched_at BIGINT NOT NULL,
    history_path ${text} NOT NULL,     -- the folder holding ascmhl/, on the volume
    generation BIGINT NOT NULL,        -- the sequence number of the newest entry's generation
    generation_file ${text} NOT NULL,  -- its file name inside ascmhl/
    recorded_at BIGINT NOT NULL,
    counts BIGINT NOT NULL DEFAULT 0,  -- 1 when the copy counts towards the file's safe volumes
    UNIQUE (volume_id, path)
);

CREATE TABLE copy_hashes (
    copy_id BIGINT NOT NULL REFERENCES copies (id) ON DELETE CASCADE,
    format ${text} NOT NULL,
    value ${text} NOT NULL,
    action ${text} NOT NULL,
    PRIMARY KEY (copy_id, format)
);

-- One result of verify, verify --decode or offload --check, for a clip of
-- a card, a file of a card or a file of a copy.
CREATE TABLE checks (
    id ${id},
    kind ${text} NOT NULL,  -- verify, verify-decode, offload-check
    checked_at BIGINT NOT NULL,
    qzcard_version ${text} NOT NULL,
    card_id BIGINT REFERENCES cards (id) ON DELETE CASCADE,
    clip BIGINT REFERENCES clips (id) ON DELETE CASCADE,
    copy_id BIGINT REFERENCES copies (id) ON DELETE CASCADE,
    path ${text},
    result ${text} NOT NULL,  -- clean, changed, missing, problems
    detail ${text}
);

-- A file an export wrote.
CREATE TABLE outputs (
    id ${id},
    clip BIGINT REFERENCES clips (id) ON DELETE SET NULL,
    path ${text} NOT NULL UNIQUE,
    size BIGINT,
    format ${text} NOT NULL,
    in_frame BIGINT,
    out_frame BIGINT,
    record_path ${text},
    exported_at BIGINT NOT NULL,
    qzcard_version ${text} NOT NULL
);
