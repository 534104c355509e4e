// Pools and PoolArray: alignment, exact fits, growth in place and by copy, refusal when
// full (nothing written, the pool still usable), unknown pools.
#include "base/pool.h"

#include "test_support.h"

TEST(Pool, AnExactFitSucceedsAndMoreOrAnUnknownPoolIsRefusedReportedAndLeavesThePoolUsable) {
    ScopedPools pools(64, 64);
    EXPECT_NE(pool_alloc(POOL_MAIN, 64), nullptr);
    pool_empty(POOL_MAIN);
    testing::internal::CaptureStdout();
    EXPECT_EQ(pool_alloc(POOL_MAIN, 65), nullptr);
    EXPECT_EQ(pool_alloc(POOL_MAIN, 65), nullptr);
    u8* block = (u8*)pool_alloc(POOL_MAIN, 16);
    EXPECT_EQ(pool_realloc(POOL_MAIN, block, 16, 1000), nullptr);  // no room to grow in place
    EXPECT_EQ(pool_alloc(7, 8), nullptr);
    EXPECT_EQ(pool_realloc(200, nullptr, 0, 8), nullptr);
    // Refusals are reported once, not on every request.
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "main memory is full: an operation was refused\n"
              "pool_alloc: unknown pool 7\npool_realloc: unknown pool 200\n");
    EXPECT_EQ(g_pools[POOL_MAIN].used, 16);
    EXPECT_NE(pool_alloc(POOL_MAIN, 48), nullptr);
}

TEST(Pool, BlocksAreAlignedTheLatestGrowsInPlaceAndAnOlderOneIsCopiedAfterTheLatest) {
    ScopedPools pools;
    u8* block = (u8*)pool_alloc(POOL_TMP, 10);
    EXPECT_EQ(pool_realloc(POOL_TMP, block, 10, 100), block);
    EXPECT_EQ(g_pools[POOL_TMP].used, 100);
    EXPECT_GT(pool_usage(POOL_TMP), 0.0);
    pool_empty(POOL_TMP);
    EXPECT_EQ(pool_usage(POOL_TMP), 0.0);

    u8* older = (u8*)pool_alloc(POOL_MAIN, 5);
    memcpy(older, "abcde", 5);
    u8* latest = (u8*)pool_alloc(POOL_MAIN, 3);
    EXPECT_EQ(older, g_pools[POOL_MAIN].base);
    EXPECT_EQ(latest, older + 8);  // small blocks are aligned to eight
    u8* grown = (u8*)pool_realloc(POOL_MAIN, older, 5, 20);
    EXPECT_EQ(grown, latest + 8);  // after the latest block, rounded up to 8
    EXPECT_EQ(memcmp(grown, "abcde", 5), 0);
    EXPECT_EQ(memcmp(older, "abcde", 5), 0);  // the old bytes stay where they were
}

TEST(Pool, AGrowingPoolTakesANewBlockAndKeepsOldContents) {
    ASSERT_TRUE(pool_setup(POOL_WORKER, 1 << 10, true));
    u8* small = (u8*)pool_alloc(POOL_WORKER, 100);
    memset(small, 7, 100);
    u8* large = (u8*)pool_alloc(POOL_WORKER, 1 << 20);
    ASSERT_NE(large, nullptr);
    memset(large, 1, 1 << 20);
    EXPECT_EQ(small[99], 7);  // the outgrown block is still there until the pool empties
    EXPECT_EQ((uintptr_t)large % 8, 0u);
    pool_empty(POOL_WORKER);
    EXPECT_NE(pool_alloc(POOL_WORKER, 1 << 19), nullptr);
    pool_release(POOL_WORKER);
}

TEST(PoolArray, RemoveInsertResizeAndPushesOfItsOwnElementsKeepOrderAndValues) {
    ScopedPools pools;
    PoolArray<i32> array;
    array_init(&array, POOL_MAIN);
    for (i32 i = 0; i < 6; i += 1) array_push(&array, i);
    array_remove(&array, 1);
    array_remove(&array, 99);  // outside: nothing
    ASSERT_EQ(array.count, 5);
    EXPECT_EQ(array[1], 2);
    EXPECT_TRUE(array_insert(&array, 0, -1));
    EXPECT_EQ(array[0], -1);
    EXPECT_EQ(array[1], 0);
    EXPECT_TRUE(array_resize(&array, 20));
    EXPECT_EQ(array.capacity, 20);
    EXPECT_EQ(array[19], 0);
    array_clear(&array);
    EXPECT_EQ(array.count, 0);
    EXPECT_EQ(array.capacity, 20);

    // Pushing an element of the same array while the array moves keeps its value.
    PoolArray<i64> moving;
    array_init(&moving, POOL_MAIN);
    array_push(&moving, (i64)41);
    pool_alloc(POOL_MAIN, 8);  // the array is no longer the latest block: growth copies
    array_push(&moving, moving[0]);
    EXPECT_EQ(moving[1], 41);
}

TEST(PoolArray, AFullPoolRefusesThePushAndWritesNothing) {
    ScopedPools pools(64, 64);
    testing::internal::CaptureStdout();
    PoolArray<i64> array;
    array_init(&array, POOL_MAIN);
    i64 pushed = 0;
    while (array_push(&array, pushed) && pushed < 100) pushed += 1;
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(array.count, pushed);
    EXPECT_LE(array.capacity * 8, 64);
    for (i64 i = 0; i < array.count; i += 1) EXPECT_EQ(array[i], i);
    EXPECT_EQ(str_copy(POOL_MAIN, STR("no room left")).length, 0);
}

TEST(Pool, AGivenBackMainBlockServesTheNextRequestOfItsClass) {
    ScopedPools pools;
    u8* first = (u8*)pool_alloc(POOL_MAIN, 100);
    u8* second = (u8*)pool_alloc(POOL_MAIN, 100);
    pool_free(POOL_MAIN, first, 100);
    i64 used = g_pools[POOL_MAIN].used;
    EXPECT_EQ(pool_alloc(POOL_MAIN, 110), first);  // 100 and 110 share a class
    EXPECT_EQ(g_pools[POOL_MAIN].used, used);
    pool_free(POOL_MAIN, second, 100);  // the latest block goes back to the pool's end
    EXPECT_EQ(g_pools[POOL_MAIN].used, second - g_pools[POOL_MAIN].base);
    // Blocks of other pools, and of no pool, are left alone.
    u8* tmp = (u8*)pool_alloc(POOL_TMP, 100);
    pool_free(POOL_MAIN, tmp, 100);
    pool_free(POOL_TMP, tmp, 100);
    EXPECT_NE(pool_alloc(POOL_MAIN, 100), tmp);
    EXPECT_EQ(pool_alloc(POOL_TMP, 8), tmp + 104);
}
